#include "platform/x11/X11Desktop.h"

#include <cstdlib>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11User.h"
#include "runtime/ProgramTexts.h"

namespace qmk::platform {

std::unique_ptr<Desktop> MakeDesktop(std::string_view programName) {
    return std::make_unique<x11::X11Desktop>(programName);
}

}  // namespace qmk::platform

namespace qmk::platform::x11 {

namespace {

// Display names come from the environment; the message keeps the printable
// ASCII of them, which every code page shows alike.
std::string PrintableAscii(const char* text) {
    std::string result;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        result += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return result;
}

}  // namespace

std::string NoDisplayMessage(const char* displayName) {
    if (displayName == nullptr || *displayName == '\0') {
        return texts::FormatText(texts::NoDisplayGiven.Cp932, {"DISPLAY"});
    }
    return texts::FormatText(texts::NoDisplayConnection.Cp932, {PrintableAscii(displayName)});
}

X11Desktop::X11Desktop(std::string_view programName) { SetLostConnectionRule(programName); }

// The window half first, the connection last.
X11Desktop::~X11Desktop() {
    user_.reset();
    gdi_.reset();
    display_.reset();
}

void X11Desktop::OpenDisplay(const char* displayName) {
    try {
        display_ = std::make_unique<X11Display>(displayName);
    } catch (const std::runtime_error&) {
        throw DisplayUnavailable(
            NoDisplayMessage(displayName != nullptr ? displayName : std::getenv("DISPLAY")));
    }
    gdi_ = std::make_unique<X11Gdi>(*display_);
    user_ = std::make_unique<X11User>(*display_);
}

Gdi* X11Desktop::GdiPart() { return gdi_.get(); }

User* X11Desktop::UserPart() { return user_.get(); }

}  // namespace qmk::platform::x11
