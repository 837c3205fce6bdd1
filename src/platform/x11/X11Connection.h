// What the X11 backend does when the X server goes away. Nothing of a
// broken connection can be used any more, not even to close it, and the
// program cannot go on without its display; so the process ends at once,
// with no destructor run:
//   1. standard output is flushed;
//   2. one line names the program on standard error,
//      "qmk: lost the connection to the X server";
//   3. the private X servers this process started (XvfbServer) are stopped;
//   4. the status is 1.
// The rule holds for every connection of the process from the first X call
// on, whether it breaks while a request goes out or while the program
// waits for input.
#pragma once

#include <string_view>

#include <X11/Xlib.h>

namespace qmk::platform::x11 {

// Installs the rule for the process, naming the program in its line (the
// first 31 bytes of the name). Call it before the first X call; X11User
// installs it too, with the name last given ("qmk" until then).
void SetLostConnectionRule(std::string_view programName);

// The rule as Xlib's handler of a broken connection; it does not return.
int EndOnLostConnection(Display* display);

// The program's name as the rule gives it, for other lines the backend
// writes on standard error.
const char* ProgramNameForMessages();

// The ways out that run no destructor (this rule, a signal, a watchdog)
// use only what is safe in the middle of anything: write, kill, waitpid
// and _exit.
// Writes the whole text on standard error (after erasing a transient line).
void WriteErrorNow(const char* text);
// Whether the runner's progress line stands unfinished on standard error;
// while it does, WriteErrorNow and EndNow first erase it.
void SetTransientLineShown(bool shown);
// Stops the private X servers this process started and ends it.
[[noreturn]] void EndNow(int status);

}  // namespace qmk::platform::x11
