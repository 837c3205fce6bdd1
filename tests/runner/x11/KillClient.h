// Cuts off the first top-level client on an X display, as xkill does,
// from a child process: once the victim notices, it may stop the server,
// which may break the killer's own connection too. Returns the child's
// wait status (exit 0 or 1 when the kill went out). Include it last:
// Xlib defines macros (None, Bool) that other headers use as names.
#pragma once

#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

namespace qmk::test {

inline int KillFirstClientOf(const std::string& display) {
    const pid_t killer = fork();
    if (killer == 0) {
        Display* dpy = XOpenDisplay(display.c_str());
        if (dpy == nullptr) _exit(2);
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
        if (count == 0) _exit(3);
        XKillClient(dpy, children[0]);
        XSync(dpy, False);
        _exit(0);
    }
    int status = 0;
    waitpid(killer, &status, 0);
    return status;
}

}  // namespace qmk::test
