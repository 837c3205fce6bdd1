// The X11 backend held to the contract, made by the program's own factory
// on the test process's private Xvfb (24 bits) or on a server of the depth
// a test asks for.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../ContractSuite.h"
#include "platform/Desktop.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/XvfbServer.h"
#include "runtime/Cp932.h"

// Last: Xlib defines macros (None, Bool) that the headers above use as names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace qmk::platform::contract {
namespace {

std::optional<std::string> RunCommand(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[256];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    if (::pclose(pipe) != 0) return std::nullopt;
    return out;
}

// How the program reaches its server: through a Unix-domain socket (device
// bitmaps in shared memory), or over TCP as a remote display is reached
// (every pixel a request).
enum class Connection { Local, Tcp };

class X11ContractDesktop : public ContractDesktop {
public:
    X11ContractDesktop(int depth, Connection connection)
        : desktop_(MakeDesktop("qmk_contract_x11_tests")) {
        std::string name;
        if (depth == 24 && connection == Connection::Local) {
            const char* given = std::getenv("DISPLAY");
            name = given != nullptr ? given : "";
        } else {
            x11::XvfbServer::Options options;
            options.Depth = depth;
            if (connection == Connection::Tcp) options.ExtraArguments = {"-listen", "tcp"};
            server_ = std::make_unique<x11::XvfbServer>(options);
            name = connection == Connection::Tcp ? "localhost" + server_->DisplayName()
                                                 : server_->DisplayName();
        }
        desktop_->OpenDisplay(name.c_str());
        // Another program on the same display: the user's keyboard.
        keyboard_ = std::make_unique<x11::X11Display>(name.c_str());
        display_ = name;
    }

    Gdi& GdiPart() override { return *desktop_->GdiPart(); }
    User& UserPart() override { return *desktop_->UserPart(); }
    Kernel& KernelPart() override { return desktop_->KernelPart(); }

    void Type(WindowHandle window, std::uint32_t key) override {
        Display* dpy = keyboard_->Dpy();
        const KeySym sym = key >= 'A' && key <= 'Z' ? XK_a + (key - 'A') : XK_0 + (key - '0');
        for (const int type : {KeyPress, KeyRelease}) {
            XEvent e{};
            e.xkey.type = type;
            e.xkey.display = dpy;
            e.xkey.window = static_cast<Window>(window);
            e.xkey.root = keyboard_->Root();
            e.xkey.keycode = XKeysymToKeycode(dpy, sym);
            e.xkey.same_screen = True;
            XSendEvent(dpy, static_cast<Window>(window), False, NoEventMask, &e);
        }
        XSync(dpy, False);
    }

    std::optional<std::string> ReadClipboard() override {
        std::optional<std::string> got;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            got = RunCommand("DISPLAY='" + display_ +
                             "' timeout 10 xclip -o -selection clipboard -t UTF8_STRING");
            done = true;
        });
        // The owner answers from its message loop.
        while (!done) {
            Message m;
            while (UserPart().PeekMessage(m)) {
            }
            UserPart().Flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        reader.join();
        if (!got) return std::nullopt;
        return Utf8ToCp932(*got);
    }

    std::string ProgramBaseName() override { return "qmk_contract_x11_tests"; }

private:
    std::unique_ptr<x11::XvfbServer> server_;
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<x11::X11Display> keyboard_;
    std::string display_;
};

struct X11Maker {
    // The depths the program supports on X servers with true colour.
    static std::vector<int> Depths() { return {24, 16, 15, 30}; }
    static std::unique_ptr<ContractDesktop> Open(int depth) {
        return std::make_unique<X11ContractDesktop>(depth, Connection::Local);
    }
};

struct X11TcpMaker {
    static std::vector<int> Depths() { return X11Maker::Depths(); }
    static std::unique_ptr<ContractDesktop> Open(int depth) {
        return std::make_unique<X11ContractDesktop>(depth, Connection::Tcp);
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(X11GdiContract, GdiContract, X11Maker);
INSTANTIATE_TYPED_TEST_SUITE_P(X11TcpGdiContract, GdiContract, X11TcpMaker);
INSTANTIATE_TYPED_TEST_SUITE_P(X11UserContract, UserContract, X11Maker);
INSTANTIATE_TYPED_TEST_SUITE_P(X11KernelContract, KernelContract, X11Maker);

}  // namespace
}  // namespace qmk::platform::contract
