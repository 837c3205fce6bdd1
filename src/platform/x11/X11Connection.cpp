#include "platform/x11/X11Connection.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "platform/x11/XvfbServer.h"

namespace qmk::platform::x11 {

namespace {

constexpr std::size_t NameCapacity = 32;
char programName[NameCapacity] = "qmk";

std::atomic<bool> transientLineShown{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in signal handlers");

void WriteAll(const char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

// Once: the first way out that finds the line takes it.
void EraseTransientLineNow() {
    if (transientLineShown.exchange(false)) WriteAll("\r\x1b[K");
}

}  // namespace

void SetTransientLineShown(bool shown) { transientLineShown.store(shown); }

void WriteErrorNow(const char* text) {
    EraseTransientLineNow();
    WriteAll(text);
}

void EndNow(int status) {
    EraseTransientLineNow();
    XvfbServer::StopAllNow();
    ::_exit(status);
}

void SetLostConnectionRule(std::string_view name) {
    name = name.substr(0, NameCapacity - 1);
    std::fill(std::begin(programName), std::end(programName), '\0');
    std::copy(name.begin(), name.end(), programName);
    XSetIOErrorHandler(&EndOnLostConnection);
}

int EndOnLostConnection(Display*) {
    std::fflush(stdout);
    WriteErrorNow(programName);
    WriteErrorNow(": lost the connection to the X server\n");
    EndNow(1);
}

const char* ProgramNameForMessages() { return programName; }

}  // namespace qmk::platform::x11
