// The X11 window backend against a real (private) X server: what window
// managers and other programs read from our windows, how X input becomes
// messages, focus without a window manager, selections and the end of the
// connection.
#include "platform/User.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/XvfbServer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11User.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace qmk::platform::x11 {
namespace {

using namespace std::chrono_literals;

// Plimboのベンチマーク for 32bit Windows R1.0
constexpr char MainTitle[] =
    "Plimbo\x82\xcc\x83\x78\x83\x93\x83\x60\x83\x7d\x81\x5b\x83\x4e for 32bit Windows R1.0";
constexpr char MainTitleUtf8[] =
    "Plimbo\xe3\x81\xae\xe3\x83\x99\xe3\x83\xb3\xe3\x83\x81\xe3\x83\x9e\xe3\x83\xbc\xe3\x82\xaf"
    " for 32bit Windows R1.0";

std::string ReadTextProperty(Display* dpy, Window window, Atom property, Atom* type = nullptr) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(dpy, window, property, 0, 4096, False, AnyPropertyType, &actual, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        if (format == 8) out.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (type != nullptr) *type = actual;
    return out;
}

std::vector<long> ReadLongProperty(Display* dpy, Window window, Atom property) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> out;
    if (XGetWindowProperty(dpy, window, property, 0, 1 << 16, False, AnyPropertyType, &actual,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
        if (format == 32) {
            auto* values = reinterpret_cast<long*>(data);
            out.assign(values, values + count);
        }
        XFree(data);
    }
    return out;
}

class X11UserTest : public ::testing::Test {
protected:
    X11UserTest() : user_(display_), dpy_(display_.Dpy()) {}

    Window Leader() {
        CreateWindowParams p;
        p.Style = ws::ClientLeader;
        p.Title = "QMK1.0";
        return static_cast<Window>(user_.CreateWindow(p));
    }

    Window TopLevel(Window leader, std::uint32_t style = ws::DialogFrame, int width = 400,
                    int height = 152) {
        CreateWindowParams p;
        p.Owner = leader;
        p.Style = style;
        p.X = 30;
        p.Y = 40;
        p.Width = width;
        p.Height = height;
        p.Title = MainTitle;
        return static_cast<Window>(user_.CreateWindow(p));
    }

    // Takes messages until one satisfies the predicate or the time is up;
    // returns everything taken.
    std::vector<Message> PumpUntil(const std::function<bool(const Message&)>& done,
                                   std::chrono::milliseconds limit = 3000ms) {
        std::vector<Message> taken;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            Message m;
            while (user_.PeekMessage(m)) {
                taken.push_back(m);
                if (done(m)) return taken;
            }
            user_.Flush();
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&p, 1, 20);
        }
        return taken;
    }

    Message WaitFor(Window window, MessageKind kind) {
        auto taken = PumpUntil([&](const Message& m) { return m.Window == window && m.Kind == kind; });
        if (taken.empty() || taken.back().Kind != kind) {
            ADD_FAILURE() << "no message of kind " << static_cast<int>(kind);
            return {};
        }
        return taken.back();
    }

    // Shows a top-level window and gives it the focus, as the program's first show does.
    Window ShownFocused() {
        Window leader = Leader();
        Window window = TopLevel(leader);
        user_.ShowWindow(window, true);
        user_.Activate(window);
        WaitFor(window, MessageKind::Activate);
        return window;
    }

    X11Display display_;
    X11User user_;
    Display* dpy_;
};

TEST_F(X11UserTest, ClientLeaderNamesTheProgramAndLeadsItself) {
    Window leader = Leader();
    XSync(dpy_, False);
    EXPECT_EQ(user_.GetWindowText(leader), "QMK1.0");
    EXPECT_EQ(ReadTextProperty(dpy_, leader, XA_WM_NAME), "QMK1.0");
    EXPECT_EQ(ReadTextProperty(dpy_, leader, display_.InternAtom("_NET_WM_NAME")), "QMK1.0");
    EXPECT_EQ(ReadLongProperty(dpy_, leader, display_.InternAtom("WM_CLIENT_LEADER")),
              std::vector<long>{static_cast<long>(leader)});
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(dpy_, leader, &hint), 0);
    EXPECT_STREQ(hint.res_name, "qmk");
    EXPECT_STREQ(hint.res_class, "org.qmkbench.QMK");
    XFree(hint.res_name);
    XFree(hint.res_class);
    XWindowAttributes attributes;
    XGetWindowAttributes(dpy_, leader, &attributes);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
}

TEST_F(X11UserTest, DialogFramePropertiesForTheWindowManager) {
    Window leader = Leader();
    Window window = TopLevel(leader);
    XSync(dpy_, False);

    XClassHint hint{};
    ASSERT_NE(XGetClassHint(dpy_, window, &hint), 0);
    EXPECT_STREQ(hint.res_name, "qmk");
    EXPECT_STREQ(hint.res_class, "org.qmkbench.QMK");
    XFree(hint.res_name);
    XFree(hint.res_class);

    Atom type = None;
    EXPECT_EQ(ReadTextProperty(dpy_, window, display_.InternAtom("_NET_WM_NAME"), &type), MainTitleUtf8);
    EXPECT_EQ(type, display_.InternAtom("UTF8_STRING"));
    EXPECT_EQ(ReadTextProperty(dpy_, window, XA_WM_NAME), MainTitleUtf8);
    EXPECT_EQ(user_.GetWindowText(window), MainTitle);

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(dpy_, window, &hints, &supplied), 0);
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_TRUE(hints.flags & PPosition);
    ASSERT_TRUE((hints.flags & (PMinSize | PMaxSize)) == (PMinSize | PMaxSize));
    EXPECT_EQ(hints.min_width, 400);
    EXPECT_EQ(hints.max_width, 400);
    EXPECT_EQ(hints.min_height, 152);
    EXPECT_EQ(hints.max_height, 152);

    // flags functions+decorations; move and close; border, title and menu.
    EXPECT_EQ(ReadLongProperty(dpy_, window, display_.InternAtom("_MOTIF_WM_HINTS")),
              (std::vector<long>{3, 4 | 32, 2 | 8 | 16, 0, 0}));

    Atom* protocols = nullptr;
    int count = 0;
    ASSERT_NE(XGetWMProtocols(dpy_, window, &protocols, &count), 0);
    std::vector<Atom> list(protocols, protocols + count);
    XFree(protocols);
    EXPECT_NE(std::find(list.begin(), list.end(), display_.InternAtom("WM_DELETE_WINDOW")), list.end());

    EXPECT_EQ(ReadLongProperty(dpy_, window, display_.InternAtom("WM_CLIENT_LEADER")),
              std::vector<long>{static_cast<long>(leader)});
    XWMHints* wmHints = XGetWMHints(dpy_, window);
    ASSERT_NE(wmHints, nullptr);
    EXPECT_TRUE(wmHints->flags & WindowGroupHint);
    EXPECT_EQ(wmHints->window_group, leader);
    XFree(wmHints);
    EXPECT_EQ(ReadLongProperty(dpy_, window, display_.InternAtom("_NET_WM_PID")),
              std::vector<long>{static_cast<long>(getpid())});

    // Moving a fixed dialog moves its fixed size along.
    user_.MoveWindow(window, 10, 20, 500, 190);
    XSync(dpy_, False);
    ASSERT_NE(XGetWMNormalHints(dpy_, window, &hints, &supplied), 0);
    EXPECT_EQ(hints.min_width, 500);
    EXPECT_EQ(hints.max_height, 190);

    const std::uint32_t icon[] = {0xFF000080u, 0x00FFFFFFu, 0x80C0C0C0u, 0xFFFFFFFFu};
    user_.SetWindowIcon(window, 2, 2, icon);
    XSync(dpy_, False);
    // Xlib hands format-32 items back as sign-extended longs.
    std::vector<std::uint32_t> iconBack;
    for (long v : ReadLongProperty(dpy_, window, display_.InternAtom("_NET_WM_ICON")))
        iconBack.push_back(static_cast<std::uint32_t>(v));
    EXPECT_EQ(iconBack, (std::vector<std::uint32_t>{2, 2, 0xFF000080u, 0x00FFFFFFu, 0x80C0C0C0u,
                                                    0xFFFFFFFFu}));

    user_.SetWindowText(window, "QMK1.0");
    XSync(dpy_, False);
    EXPECT_EQ(ReadTextProperty(dpy_, window, XA_WM_NAME, &type), "QMK1.0");
    EXPECT_EQ(type, XA_STRING);
    EXPECT_EQ(ReadTextProperty(dpy_, window, display_.InternAtom("_NET_WM_NAME")), "QMK1.0");
}

// Task lists show a window's icon name: the application's title for every
// window of its group, following the title when the program changes it.
TEST_F(X11UserTest, WindowsOfTheGroupAreNamedByTheApplicationTitle) {
    Window leader = Leader();
    Window main = TopLevel(leader);
    Window box = TopLevel(main, ws::DialogFrame | ws::Modal, 200, 100);
    const Atom netIconName = display_.InternAtom("_NET_WM_ICON_NAME");
    const Atom utf8 = display_.InternAtom("UTF8_STRING");
    XSync(dpy_, False);
    for (Window window : {leader, main, box}) {
        Atom type = None;
        EXPECT_EQ(ReadTextProperty(dpy_, window, netIconName, &type), "QMK1.0");
        EXPECT_EQ(type, utf8);
        EXPECT_EQ(ReadTextProperty(dpy_, window, XA_WM_ICON_NAME, &type), "QMK1.0");
        EXPECT_EQ(type, XA_STRING);
    }
    // A window's own caption leaves it alone; a new title reaches them all.
    user_.SetWindowText(main, "caption");
    user_.SetWindowText(leader, "\x83\x65\x83\x58\x83\x67");  // テスト
    XSync(dpy_, False);
    for (Window window : {leader, main, box}) {
        Atom type = None;
        EXPECT_EQ(ReadTextProperty(dpy_, window, netIconName), "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88");
        EXPECT_EQ(ReadTextProperty(dpy_, window, XA_WM_ICON_NAME, &type),
                  "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88");
        EXPECT_EQ(type, utf8);
    }
    EXPECT_EQ(ReadTextProperty(dpy_, main, XA_WM_NAME), "caption");
}

TEST_F(X11UserTest, ModalBoxStandsAboveItsOwner) {
    Window leader = Leader();
    Window main = TopLevel(leader);
    Window box = TopLevel(main, ws::DialogFrame | ws::Modal, 200, 100);
    XSync(dpy_, False);
    Window transientFor = 0;
    ASSERT_NE(XGetTransientForHint(dpy_, box, &transientFor), 0);
    EXPECT_EQ(transientFor, main);
    EXPECT_EQ(ReadLongProperty(dpy_, box, display_.InternAtom("_NET_WM_WINDOW_TYPE")),
              std::vector<long>{static_cast<long>(display_.InternAtom("_NET_WM_WINDOW_TYPE_DIALOG"))});
    EXPECT_EQ(ReadLongProperty(dpy_, box, display_.InternAtom("_NET_WM_STATE")),
              std::vector<long>{static_cast<long>(display_.InternAtom("_NET_WM_STATE_MODAL"))});
    // The box belongs to the program's group, not to a group of its owner.
    EXPECT_EQ(ReadLongProperty(dpy_, box, display_.InternAtom("WM_CLIENT_LEADER")),
              std::vector<long>{static_cast<long>(leader)});
    EXPECT_TRUE(ReadLongProperty(dpy_, main, display_.InternAtom("WM_TRANSIENT_FOR")).empty());
}

TEST_F(X11UserTest, ChildWindowGeometryAndEmptySizes) {
    Window top = TopLevel(Leader());
    CreateWindowParams p;
    p.Parent = top;
    p.Style = ws::Child | ws::Visible;
    p.X = 304;
    p.Y = 48;
    p.Width = 89;
    p.Height = 97;
    Window child = static_cast<Window>(user_.CreateWindow(p));
    p.Width = 0;
    Window empty = static_cast<Window>(user_.CreateWindow(p));
    XSync(dpy_, False);

    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    ASSERT_NE(XQueryTree(dpy_, child, &root, &parent, &children, &count), 0);
    if (children != nullptr) XFree(children);
    EXPECT_EQ(parent, top);
    XWindowAttributes a;
    XGetWindowAttributes(dpy_, child, &a);
    EXPECT_EQ(a.x, 304);
    EXPECT_EQ(a.y, 48);
    EXPECT_EQ(a.width, 89);
    EXPECT_EQ(a.height, 97);
    EXPECT_EQ(a.map_state, IsUnviewable);  // mapped; its parent is not yet

    // A window without area is kept unmapped rather than shown as a dot.
    XGetWindowAttributes(dpy_, empty, &a);
    EXPECT_EQ(a.map_state, IsUnmapped);
    user_.MoveWindow(empty, 1, 2, 30, 40);
    XSync(dpy_, False);
    XGetWindowAttributes(dpy_, empty, &a);
    EXPECT_EQ(a.map_state, IsUnviewable);
    EXPECT_EQ(a.x, 1);
    EXPECT_EQ(a.width, 30);
    user_.MoveWindow(empty, 1, 2, 30, 0);
    XSync(dpy_, False);
    XGetWindowAttributes(dpy_, empty, &a);
    EXPECT_EQ(a.map_state, IsUnmapped);

    // Destroying the parent takes the children: later calls on them are no-ops.
    user_.DestroyWindow(top);
    user_.MoveWindow(child, 0, 0, 5, 5);
    user_.ShowWindow(child, false);
    XSync(dpy_, False);
    EXPECT_EQ(user_.GetWindowText(child), "");
}

TEST_F(X11UserTest, PaintFollowsExposureAndInvalidation) {
    Window top = TopLevel(Leader(), ws::DialogFrame, 120, 80);
    user_.ShowWindow(top, true);
    Message first = WaitFor(top, MessageKind::Paint);
    EXPECT_EQ(first.Area, (Rect{0, 0, 120, 80}));

    Rect area{10, 20, 30, 45};
    user_.InvalidateRect(top, &area);
    EXPECT_EQ(WaitFor(top, MessageKind::Paint).Area, area);
    user_.InvalidateRect(top, nullptr);
    EXPECT_EQ(WaitFor(top, MessageKind::Paint).Area, (Rect{0, 0, 120, 80}));
}

unsigned long PixelAt(Display* dpy, Window window, int x, int y) {
    XImage* image = XGetImage(dpy, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return ~0ul;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel;
}

TEST_F(X11UserTest, InvalidatedAreaKeepsItsPixelsUntilThePaintAfterOtherMessages) {
    Window top = TopLevel(Leader(), ws::DialogFrame, 120, 80);
    user_.ShowWindow(top, true);
    WaitFor(top, MessageKind::Paint);
    const unsigned long drawn = display_.PixelFromColorRef(0x00000080);
    GC gc = XCreateGC(dpy_, top, 0, nullptr);
    XSetForeground(dpy_, gc, drawn);
    XFillRectangle(dpy_, top, gc, 0, 0, 120, 80);
    XFreeGC(dpy_, gc);

    // Two invalidations, then a message that the paint must not overtake.
    const Rect first{10, 20, 30, 45}, second{25, 40, 200, 60};
    user_.InvalidateRect(top, &first);
    user_.InvalidateRect(top, &second);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = top;
    e.xclient.message_type = display_.InternAtom("WM_PROTOCOLS");
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(display_.InternAtom("WM_DELETE_WINDOW"));
    XSendEvent(dpy_, top, False, NoEventMask, &e);
    XSync(dpy_, False);
    EXPECT_EQ(PixelAt(dpy_, top, 15, 25), drawn) << "invalidating erased the area at once";

    Message m;
    ASSERT_TRUE(user_.PeekMessage(m));
    EXPECT_EQ(m.Kind, MessageKind::Close);
    ASSERT_TRUE(user_.PeekMessage(m));
    EXPECT_EQ(m.Kind, MessageKind::Paint);
    EXPECT_EQ(m.Area, (Rect{10, 20, 120, 60}));  // the union, inside the window
    EXPECT_FALSE(user_.PeekMessage(m));
    EXPECT_EQ(PixelAt(dpy_, top, 15, 25), drawn);

    // A window that is not on the screen is painted whole when it shows.
    user_.ShowWindow(top, false);
    user_.InvalidateRect(top, nullptr);
    XSync(dpy_, False);
    while (user_.PeekMessage(m)) EXPECT_NE(m.Kind, MessageKind::Paint);
}

struct KeyCase {
    KeySym Sym;
    unsigned int State;
    std::uint32_t Key;
    std::uint32_t Modifiers;
    const char* Text;  // nullptr: not checked
};

TEST_F(X11UserTest, KeyEventsBecomeVirtualKeysWithText) {
    const KeyCase cases[] = {
        {XK_Return, 0, vk::Return, 0, "\r"},
        {XK_KP_Enter, 0, vk::Return, 0, "\r"},
        {XK_space, 0, vk::Space, 0, " "},
        {XK_Tab, 0, vk::Tab, 0, "\t"},
        {XK_Tab, ShiftMask, vk::Tab, mod::Shift, nullptr},
        {XK_c, ControlMask, 'C', mod::Control, "\x03"},
        {XK_a, 0, 'A', 0, "a"},
        {XK_a, ShiftMask, 'A', mod::Shift, "A"},
        {XK_1, ShiftMask, '1', mod::Shift, "!"},
        {XK_F4, Mod1Mask, vk::F4, mod::Alt, ""},
        {XK_Escape, 0, vk::Escape, 0, "\x1b"},
        {XK_BackSpace, 0, vk::Back, 0, "\b"},
        {XK_Left, 0, vk::Left, 0, ""},
        {XK_Next, 0, vk::Next, 0, ""},
        {XK_Delete, 0, vk::Delete, 0, nullptr},
    };
    Window top = TopLevel(Leader());
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(XKeysymToString(c.Sym));
        for (int type : {KeyPress, KeyRelease}) {
            XEvent e{};
            e.xkey.type = type;
            e.xkey.display = dpy_;
            e.xkey.window = top;
            e.xkey.root = display_.Root();
            e.xkey.state = c.State;
            e.xkey.keycode = XKeysymToKeycode(dpy_, c.Sym);
            e.xkey.same_screen = True;
            ASSERT_NE(e.xkey.keycode, 0u);
            XSendEvent(dpy_, top, False, NoEventMask, &e);
        }
        Message down = WaitFor(top, MessageKind::KeyDown);
        EXPECT_EQ(down.Key, c.Key);
        EXPECT_EQ(down.Modifiers, c.Modifiers);
        if (c.Text != nullptr) {
            EXPECT_STREQ(down.Text, c.Text);
        }
        Message up = WaitFor(top, MessageKind::KeyUp);
        EXPECT_EQ(up.Key, c.Key);
        EXPECT_STREQ(up.Text, "");
    }
}

// The program's first show on a bare server: nobody but us sets the focus,
// and keys typed by another client must reach the window.
TEST_F(X11UserTest, ActivateBeforeMapGivesFocusAndKeysArrive) {
    Window window = ShownFocused();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    EXPECT_EQ(focus, window);

    ASSERT_EQ(std::system("xdotool key Return space shift+Tab ctrl+c"), 0);
    std::vector<Message> downs;
    PumpUntil([&](const Message& m) {
        if (m.Kind == MessageKind::KeyDown && m.Key != vk::Shift && m.Key != vk::Control)
            downs.push_back(m);
        return downs.size() == 4;
    });
    ASSERT_EQ(downs.size(), 4u);
    EXPECT_EQ(downs[0].Window, window);
    EXPECT_EQ(downs[0].Key, vk::Return);
    EXPECT_EQ(downs[1].Key, vk::Space);
    EXPECT_EQ(downs[2].Key, vk::Tab);
    EXPECT_EQ(downs[2].Modifiers, mod::Shift);
    EXPECT_EQ(downs[3].Key, static_cast<std::uint32_t>('C'));
    EXPECT_EQ(downs[3].Modifiers, mod::Control);
}

TEST_F(X11UserTest, FocusMovesBetweenTopLevelWindows) {
    Window first = ShownFocused();
    Window second = TopLevel(Leader(), ws::DialogFrame, 50, 50);
    user_.ShowWindow(second, true);
    user_.Activate(second);
    bool deactivated = false, activated = false;
    PumpUntil([&](const Message& m) {
        deactivated |= m.Window == first && m.Kind == MessageKind::Deactivate;
        activated |= m.Window == second && m.Kind == MessageKind::Activate;
        return deactivated && activated;
    });
    EXPECT_TRUE(deactivated);
    EXPECT_TRUE(activated);
}

TEST_F(X11UserTest, MouseButtonsInWindowCoordinates) {
    Window top = TopLevel(Leader());
    CreateWindowParams p;
    p.Parent = top;
    p.Style = ws::Child | ws::Visible;
    p.X = 8;
    p.Y = 48;
    p.Width = 121;
    p.Height = 33;
    Window button = static_cast<Window>(user_.CreateWindow(p));
    user_.ShowWindow(top, true);
    WaitFor(button, MessageKind::Paint);
    // Without a window manager the client sits where it was placed.
    ASSERT_EQ(std::system("xdotool mousemove 50 100 click 1"), 0);  // (30+8+12, 40+48+12)
    Message down = WaitFor(button, MessageKind::ButtonDown);
    EXPECT_EQ(down.Button, 1u);
    EXPECT_EQ(down.X, 12);
    EXPECT_EQ(down.Y, 12);
    EXPECT_EQ(down.ButtonMask, 1u);
    Message up = WaitFor(button, MessageKind::ButtonUp);
    EXPECT_EQ(up.ButtonMask, 0u);
    EXPECT_GE(up.Time, down.Time);
}

TEST_F(X11UserTest, DeleteRequestBecomesClose) {
    Window top = TopLevel(Leader());
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = top;
    e.xclient.message_type = display_.InternAtom("WM_PROTOCOLS");
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(display_.InternAtom("WM_DELETE_WINDOW"));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, top, False, NoEventMask, &e);
    Message close = WaitFor(top, MessageKind::Close);
    EXPECT_EQ(close.Window, top);
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "<popen failed>";
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

TEST_F(X11UserTest, ClipboardServesOtherPrograms) {
    Window top = TopLevel(Leader());
    // ＣＰＵ：1992 (100.00%) é
    const std::string text = "\xef\xbc\xa3\xef\xbc\xb0\xef\xbc\xb5\xef\xbc\x9a" "1992 (100.00%) \xc3\xa9";
    user_.SetSelectionText(top, Selection::Clipboard, text, 0);
    user_.Flush();

    struct Case {
        const char* Target;
        std::string Expected;
    };
    const Case cases[] = {
        {"UTF8_STRING", text},
        {"TEXT", text},
        {"STRING", "????1992 (100.00%) \xe9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Target);
        std::string got;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            got = RunCommand(std::string("xclip -o -selection clipboard -t ") + c.Target);
            done = true;
        });
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done && std::chrono::steady_clock::now() < deadline) PumpUntil([](const Message&) { return false; }, 20ms);
        reader.join();
        EXPECT_EQ(got, c.Expected);
    }

    std::string targets;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        targets = RunCommand("xclip -o -selection clipboard -t TARGETS");
        done = true;
    });
    while (!done) PumpUntil([](const Message&) { return false; }, 20ms);
    reader.join();
    EXPECT_NE(targets.find("UTF8_STRING"), std::string::npos);
    EXPECT_NE(targets.find("STRING"), std::string::npos);
    // Nothing is offered for the primary selection, which we never took.
    EXPECT_EQ(XGetSelectionOwner(dpy_, XA_PRIMARY), None);
}

TEST_F(X11UserTest, AnotherOwnerTakesTheSelection) {
    Window top = TopLevel(Leader());
    user_.SetSelectionText(top, Selection::Primary, "abc", 0);
    user_.Flush();
    X11Display other;
    Window thief = XCreateSimpleWindow(other.Dpy(), other.Root(), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(other.Dpy(), XA_PRIMARY, thief, CurrentTime);
    XSync(other.Dpy(), False);
    Message lost = WaitFor(top, MessageKind::SelectionLost);
    EXPECT_EQ(lost.Which, Selection::Primary);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Another client sends our window an event after a pause, to end a wait.
void WakeLater(const std::string& displayName, Window window, std::chrono::milliseconds after,
               std::atomic<bool>* sent) {
    std::this_thread::sleep_for(after);
    Display* d = XOpenDisplay(displayName.c_str());
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "QMK_TEST_WAKE", False);
    e.xclient.format = 32;
    if (sent != nullptr) *sent = true;
    XSendEvent(d, window, False, NoEventMask, &e);
    XCloseDisplay(d);
}

TEST_F(X11UserTest, WaitMessageSleepsUntilAnEventArrives) {
    Window top = TopLevel(Leader());
    XSync(dpy_, False);
    Message m;
    while (user_.PeekMessage(m)) {
    }
    const std::string name = DisplayString(dpy_);
    std::thread waker(WakeLater, name, top, 300ms, nullptr);
    double before = CpuSeconds();
    user_.WaitMessage();
    double used = CpuSeconds() - before;
    waker.join();
    EXPECT_LT(used, 0.1) << "WaitMessage spun instead of sleeping";
    // What woke it translates to nothing; the queue is empty again after.
    EXPECT_FALSE(user_.PeekMessage(m));
}

TEST_F(X11UserTest, WaitMessageSeesEventsAlreadyRead) {
    Window top = TopLevel(Leader());
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = top;
    e.xclient.message_type = display_.InternAtom("WM_PROTOCOLS");
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(display_.InternAtom("WM_DELETE_WINDOW"));
    XSendEvent(dpy_, top, False, NoEventMask, &e);
    XSync(dpy_, False);  // reads the event into Xlib's queue: the socket is empty
    ASSERT_GT(XQLength(dpy_), 0);
    std::atomic<bool> rescued{false};
    std::thread rescuer(WakeLater, std::string(DisplayString(dpy_)), top, 1000ms, &rescued);
    user_.WaitMessage();
    EXPECT_FALSE(rescued.load()) << "WaitMessage slept with a message waiting";
    rescuer.join();
    Message m;
    ASSERT_TRUE(user_.PeekMessage(m));
    EXPECT_EQ(m.Kind, MessageKind::Close);
}

TEST_F(X11UserTest, ScreenMetrics) {
    EXPECT_EQ(user_.GetSystemMetrics(metric::CxScreen), display_.ScreenWidth());
    EXPECT_EQ(user_.GetSystemMetrics(metric::CyScreen), display_.ScreenHeight());
    EXPECT_EQ(user_.GetSystemMetrics(metric::CxDlgFrame), 0);
    EXPECT_EQ(user_.GetSystemMetrics(metric::CyDlgFrame), 0);
    EXPECT_EQ(user_.GetSystemMetrics(metric::CyCaption), 0);
}

// A child process connects to its own server, which is then killed: the
// child must end at once through the handler, not hang or crash.
struct LostCase {
    bool OwnHandler;
    int ExitCode;
    const char* Stderr;
};

TEST(X11UserConnectionTest, LostServerEndsTheProcessThroughTheHandler) {
    const LostCase cases[] = {
        {true, 42, ""},
        {false, 1, "qmk: connection to the X server lost\n"},
    };
    for (const LostCase& c : cases) {
        SCOPED_TRACE(c.OwnHandler ? "own handler" : "default handler");
        XvfbServer server;
        int ready[2], errors[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(errors), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            close(errors[0]);
            dup2(errors[1], 2);
            X11Display display(server.DisplayName().c_str());
            X11User user(display);
            user.SetConnectionLostHandler(c.OwnHandler ? +[] { _exit(42); } : nullptr);
            CreateWindowParams p;
            p.Width = 10;
            p.Height = 10;
            p.Style = ws::Visible;
            user.CreateWindow(p);
            user.Flush();
            if (write(ready[1], "r", 1) != 1) _exit(3);
            for (;;) {
                Message m;
                while (user.PeekMessage(m)) {
                }
                user.WaitMessage();
            }
        }
        close(ready[1]);
        close(errors[1]);
        char r = 0;
        ASSERT_EQ(read(ready[0], &r, 1), 1);
        close(ready[0]);
        server.Stop();

        int status = 0;
        pid_t done = 0;
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while ((done = waitpid(child, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (done == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the child went on after its server died";
        }
        std::string err;
        char buffer[256];
        ssize_t n;
        while ((n = read(errors[0], buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<std::size_t>(n));
        close(errors[0]);
        ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
        EXPECT_EQ(WEXITSTATUS(status), c.ExitCode);
        EXPECT_EQ(err, c.Stderr);
    }
}

}  // namespace
}  // namespace qmk::platform::x11
