#include "platform/x11/X11User.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <poll.h>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Keys.h"
#include "runtime/Cp932.h"

namespace qmk::platform::x11 {

namespace {

// Windows die while requests for them are still on their way (a child
// destroyed with its parent, a focus request for a window just unmapped);
// those errors mean nothing. Anything else is a fault worth seeing.
int OnProtocolError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
    if (error->error_code == BadMatch && error->request_code == X_SetInputFocus) return 0;
    char text[160] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "%s: X error: %s (request %d.%d, resource 0x%lx)\n",
                 ProgramNameForMessages(), text, error->request_code, error->minor_code,
                 error->resourceid);
    return 0;
}

std::uint32_t ModifiersOf(unsigned int state) {
    std::uint32_t m = 0;
    if (state & ShiftMask) m |= mod::Shift;
    if (state & ControlMask) m |= mod::Control;
    if (state & Mod1Mask) m |= mod::Alt;
    return m;
}

std::uint32_t ButtonsOf(unsigned int state) {
    std::uint32_t b = 0;
    if (state & Button1Mask) b |= 1u;
    if (state & Button2Mask) b |= 2u;
    if (state & Button3Mask) b |= 4u;
    return b;
}

Rect Union(const Rect& a, const Rect& b) {
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

constexpr long TopLevelEvents = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                ButtonReleaseMask | PointerMotionMask | FocusChangeMask |
                                StructureNotifyMask;
// Keys are not selected on children: they propagate to the top-level window,
// which holds the focus, so the framework sees every key there.
constexpr long ChildEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

// A UTF-8 name and its plain twin for window managers that read only the
// ICCCM property: STRING when the text is ASCII, otherwise UTF8_STRING,
// which they widely accept.
void SetNameProperties(Display* dpy, Window window, Atom utf8Property, Atom plainProperty,
                       Atom utf8String, std::string_view cp932) {
    std::string utf8 = Cp932ToUtf8(cp932);
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const int length = static_cast<int>(utf8.size());
    XChangeProperty(dpy, window, utf8Property, utf8String, 8, PropModeReplace, bytes, length);
    const bool ascii = utf8.size() == cp932.size();
    XChangeProperty(dpy, window, plainProperty, ascii ? XA_STRING : utf8String, 8, PropModeReplace,
                    bytes, length);
}

// _MOTIF_WM_HINTS fields.
constexpr long MwmHintsFunctions = 1, MwmHintsDecorations = 2;
constexpr long MwmFuncMove = 4, MwmFuncClose = 32;
constexpr long MwmDecorBorder = 2, MwmDecorTitle = 8, MwmDecorMenu = 16;

}  // namespace

X11User::X11User(X11Display& display) : display_(display), dpy_(display.Dpy()) {
    wmProtocols_ = display_.InternAtom("WM_PROTOCOLS");
    wmDeleteWindow_ = display_.InternAtom("WM_DELETE_WINDOW");
    wmClientLeader_ = display_.InternAtom("WM_CLIENT_LEADER");
    netWmName_ = display_.InternAtom("_NET_WM_NAME");
    netWmIconName_ = display_.InternAtom("_NET_WM_ICON_NAME");
    netWmIcon_ = display_.InternAtom("_NET_WM_ICON");
    netWmPid_ = display_.InternAtom("_NET_WM_PID");
    netWmWindowType_ = display_.InternAtom("_NET_WM_WINDOW_TYPE");
    netWmWindowTypeDialog_ = display_.InternAtom("_NET_WM_WINDOW_TYPE_DIALOG");
    netWmWindowTypeNormal_ = display_.InternAtom("_NET_WM_WINDOW_TYPE_NORMAL");
    netWmState_ = display_.InternAtom("_NET_WM_STATE");
    netWmStateModal_ = display_.InternAtom("_NET_WM_STATE_MODAL");
    netActiveWindow_ = display_.InternAtom("_NET_ACTIVE_WINDOW");
    netSupported_ = display_.InternAtom("_NET_SUPPORTED");
    netSupportingWmCheck_ = display_.InternAtom("_NET_SUPPORTING_WM_CHECK");
    netRequestFrameExtents_ = display_.InternAtom("_NET_REQUEST_FRAME_EXTENTS");
    netFrameExtents_ = display_.InternAtom("_NET_FRAME_EXTENTS");
    motifWmHints_ = display_.InternAtom("_MOTIF_WM_HINTS");
    utf8String_ = display_.InternAtom("UTF8_STRING");
    targets_ = display_.InternAtom("TARGETS");
    text_ = display_.InternAtom("TEXT");
    timestamp_ = display_.InternAtom("TIMESTAMP");
    clipboard_ = display_.InternAtom("CLIPBOARD");

    previousErrorHandler_ = XSetErrorHandler(OnProtocolError);
    previousIoErrorHandler_ = XSetIOErrorHandler(&EndOnLostConnection);
    // Held keys then repeat as presses only, as the framework expects,
    // instead of release-press pairs.
    XkbSetDetectableAutoRepeat(dpy_, True, nullptr);
}

X11User::~X11User() {
    for (auto& [window, record] : windows_) {
        if (record.Parent == 0) XDestroyWindow(dpy_, window);
    }
    XSync(dpy_, False);
    XSetErrorHandler(previousErrorHandler_);
    XSetIOErrorHandler(previousIoErrorHandler_);
}

X11User::WindowRecord* X11User::Find(Window window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

WindowHandle X11User::CreateWindow(const CreateWindowParams& params) {
    const bool child = (params.Style & ws::Child) != 0;
    Window parent = child ? static_cast<Window>(params.Parent) : display_.Root();
    if (child && Find(parent) == nullptr) throw std::invalid_argument("CreateWindow: unknown parent");

    XSetWindowAttributes attributes{};
    attributes.background_pixel = display_.PixelFromColorRef(params.Background);
    attributes.event_mask = child ? ChildEvents : TopLevelEvents;
    attributes.colormap = display_.ColormapOf();
    const unsigned long mask = CWBackPixel | CWEventMask | CWColormap;

    Window window = 0;
    {
        // A server out of memory refuses the window; the caller is told by a 0.
        ErrorTrap trap(dpy_);
        window = XCreateWindow(dpy_, parent, params.X, params.Y,
                               static_cast<unsigned>(std::max(params.Width, 1)),
                               static_cast<unsigned>(std::max(params.Height, 1)), 0,
                               display_.Depth(), InputOutput, display_.VisualOf(), mask,
                               &attributes);
        if (trap.Sync()) return 0;
    }
    WindowRecord record;
    record.Parent = child ? parent : 0;
    record.Style = params.Style;
    record.Width = params.Width;
    record.Height = params.Height;
    record.Text = std::string(params.Title);

    if (!child) SetTopLevelProperties(window, params, record);

    auto& stored = windows_[window] = std::move(record);
    if ((params.Style & ws::Visible) != 0 && (params.Style & ws::ApplicationWindow) == 0) {
        stored.Visible = true;
        UpdateMapping(window, stored);
    }
    return static_cast<WindowHandle>(window);
}

void X11User::SetTopLevelProperties(Window window, const CreateWindowParams& params,
                                    WindowRecord& record) {
    const bool leader = (params.Style & ws::ApplicationWindow) != 0;
    if (leader) {
        record.Leader = window;
    } else if (auto* owner = Find(static_cast<Window>(params.Owner))) {
        record.Leader = owner->Leader;
    }

    XClassHint classHint;
    classHint.res_name = const_cast<char*>(ResName);
    classHint.res_class = const_cast<char*>(ResClass);
    XSetClassHint(dpy_, window, &classHint);
    SetTitleProperties(window, params.Title);
    // Task lists and icons name the program by its title, held by the
    // group's leader, not by each window's long caption.
    if (leader) {
        SetIconNameProperties(window, params.Title);
    } else if (const WindowRecord* group = Find(record.Leader)) {
        SetIconNameProperties(window, group->Text);
    }

    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        XChangeProperty(dpy_, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<unsigned char*>(host), static_cast<int>(std::strlen(host)));
    }
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy_, window, netWmPid_, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    if (record.Leader != 0) {
        long leaderId = static_cast<long>(record.Leader);
        XChangeProperty(dpy_, window, wmClientLeader_, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&leaderId), 1);
    }
    if (leader) return;

    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    if (record.Leader != 0) {
        hints.flags |= WindowGroupHint;
        hints.window_group = record.Leader;
    }
    XSetWMHints(dpy_, window, &hints);

    Atom protocols[] = {wmDeleteWindow_};
    XSetWMProtocols(dpy_, window, protocols, 1);
    SetSizeHints(window, record, params.X, params.Y);

    const bool modal = (params.Style & ws::Modal) != 0;
    long type = static_cast<long>(modal ? netWmWindowTypeDialog_ : netWmWindowTypeNormal_);
    XChangeProperty(dpy_, window, netWmWindowType_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    if (modal) {
        if (params.Owner != 0) XSetTransientForHint(dpy_, window, static_cast<Window>(params.Owner));
        long state = static_cast<long>(netWmStateModal_);
        XChangeProperty(dpy_, window, netWmState_, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&state), 1);
    }
    if ((params.Style & ws::DialogFrame) != 0) SetDialogFrameHints(window);
}

void X11User::SetDialogFrameHints(Window window) {
    long motif[5] = {MwmHintsFunctions | MwmHintsDecorations, MwmFuncMove | MwmFuncClose,
                     MwmDecorBorder | MwmDecorTitle | MwmDecorMenu, 0, 0};
    XChangeProperty(dpy_, window, motifWmHints_, motifWmHints_, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(motif), 5);
}

// The window lands where the program places it (US/P position), and a
// dialog frame cannot be resized: minimum = maximum = size. The program
// places the client area inside the frame it was told of, so with a known
// frame the client stays where asked (static gravity); otherwise the frame
// goes there, which keeps its title bar on the screen.
void X11User::SetSizeHints(Window window, const WindowRecord& record, int x, int y) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) return;
    hints->flags = USPosition | PPosition | USSize | PSize;
    hints->x = x;
    hints->y = y;
    if (frame_.has_value() && !frame_->Empty()) {
        hints->flags |= PWinGravity;
        hints->win_gravity = StaticGravity;
    }
    hints->width = std::max(record.Width, 1);
    hints->height = std::max(record.Height, 1);
    if ((record.Style & ws::DialogFrame) != 0) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = hints->width;
        hints->min_height = hints->max_height = hints->height;
    }
    XSetWMNormalHints(dpy_, window, hints);
    XFree(hints);
}

void X11User::SetTitleProperties(Window window, std::string_view cp932) {
    SetNameProperties(dpy_, window, netWmName_, XA_WM_NAME, utf8String_, cp932);
}

void X11User::SetIconNameProperties(Window window, std::string_view cp932) {
    SetNameProperties(dpy_, window, netWmIconName_, XA_WM_ICON_NAME, utf8String_, cp932);
}

// X has no empty windows; a window of width or height 0 stays unmapped
// until it gets a size.
void X11User::UpdateMapping(Window window, WindowRecord& record) {
    if ((record.Style & ws::ApplicationWindow) != 0) return;
    const bool shown = record.Visible && record.Width > 0 && record.Height > 0;
    if (shown) {
        XMapWindow(dpy_, window);
    } else if (IsTopLevel(record)) {
        XWithdrawWindow(dpy_, window, display_.ScreenNumber());
        record.Mapped = false;
    } else {
        XUnmapWindow(dpy_, window);
    }
}

void X11User::ForgetWindow(Window window) {
    std::vector<Window> children;
    for (auto& [id, record] : windows_) {
        if (record.Parent == window) children.push_back(id);
    }
    for (Window c : children) ForgetWindow(c);
    windows_.erase(window);
    exposed_.erase(window);
    invalid_.erase(window);
    for (auto& owned : selections_) {
        if (owned.Owner == window) owned = OwnedSelection{};
    }
}

void X11User::DestroyWindow(WindowHandle window) {
    auto id = static_cast<Window>(window);
    if (Find(id) == nullptr) return;
    XDestroyWindow(dpy_, id);
    ForgetWindow(id);
}

void X11User::ShowWindow(WindowHandle window, bool visible) {
    auto id = static_cast<Window>(window);
    WindowRecord* record = Find(id);
    if (record == nullptr || record->Visible == visible) return;
    record->Visible = visible;
    UpdateMapping(id, *record);
}

void X11User::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height) {
    auto id = static_cast<Window>(window);
    WindowRecord* record = Find(id);
    if (record == nullptr) return;
    const bool wasEmpty = record->Width <= 0 || record->Height <= 0;
    record->Width = width;
    record->Height = height;
    // A window manager holds a dialog to its old size unless the hints move first.
    if (IsTopLevel(*record)) SetSizeHints(id, *record, x, y);
    XMoveResizeWindow(dpy_, id, x, y, static_cast<unsigned>(std::max(width, 1)),
                      static_cast<unsigned>(std::max(height, 1)));
    const bool isEmpty = width <= 0 || height <= 0;
    if (record->Visible && wasEmpty != isEmpty) UpdateMapping(id, *record);
}

void X11User::SetWindowText(WindowHandle window, std::string_view text) {
    auto id = static_cast<Window>(window);
    WindowRecord* record = Find(id);
    if (record == nullptr) return;
    record->Text = std::string(text);
    if (record->Parent == 0) SetTitleProperties(id, text);
    if ((record->Style & ws::ApplicationWindow) == 0) return;
    // The application's title: the name of every window of its group.
    for (auto& [member, info] : windows_) {
        if (info.Leader == id) SetIconNameProperties(member, text);
    }
}

std::string X11User::GetWindowText(WindowHandle window) {
    WindowRecord* record = Find(static_cast<Window>(window));
    return record != nullptr ? record->Text : std::string();
}

void X11User::SetWindowIcon(WindowHandle window, std::int32_t width, std::int32_t height,
                            const std::uint32_t* argb) {
    auto id = static_cast<Window>(window);
    if (Find(id) == nullptr || width <= 0 || height <= 0 || argb == nullptr) return;
    // Format-32 properties travel as longs in Xlib, whatever their size.
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<long> data;
    data.reserve(count + 2);
    data.push_back(width);
    data.push_back(height);
    for (std::size_t i = 0; i < count; ++i) data.push_back(static_cast<long>(argb[i]));
    XChangeProperty(dpy_, id, netWmIcon_, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
}

// The area keeps its pixels until the paint: clearing it now (XClearArea
// with exposures) would blank a control for as long as the program is busy
// before it takes the next message, such as the start button for a whole
// run. Every control paints all of its area, so nothing is erased then either.
void X11User::InvalidateRect(WindowHandle window, const Rect* area) {
    auto id = static_cast<Window>(window);
    WindowRecord* record = Find(id);
    if (record == nullptr) return;
    Rect clipped{0, 0, record->Width, record->Height};
    if (area != nullptr) {
        clipped = {std::max(area->Left, 0), std::max(area->Top, 0),
                   std::min(area->Right, record->Width), std::min(area->Bottom, record->Height)};
    }
    if (clipped.Right <= clipped.Left || clipped.Bottom <= clipped.Top) return;
    auto pending = invalid_.find(id);
    if (pending == invalid_.end()) invalid_.emplace(id, clipped);
    else pending->second = Union(pending->second, clipped);
}

// Shown on the screen: mapped with its parents up to a mapped top-level window.
bool X11User::Viewable(Window window) {
    for (WindowRecord* record = Find(window); record != nullptr; record = Find(record->Parent)) {
        if (!record->Visible || record->Width <= 0 || record->Height <= 0) return false;
        if (record->Parent == 0) return IsTopLevel(*record) && record->Mapped;
    }
    return false;
}

// A window that is not on the screen gets its whole area exposed when it
// shows, so what was invalidated meanwhile is dropped.
bool X11User::TakeInvalidated(Message& message) {
    while (!invalid_.empty()) {
        auto first = invalid_.begin();
        const Window window = first->first;
        const Rect area = first->second;
        invalid_.erase(first);
        if (!Viewable(window)) continue;
        message = Message{};
        message.Window = window;
        message.Kind = MessageKind::Paint;
        message.Area = area;
        return true;
    }
    return false;
}

void X11User::Activate(WindowHandle window) {
    auto id = static_cast<Window>(window);
    WindowRecord* record = Find(id);
    if (record == nullptr || !IsTopLevel(*record)) return;
    XRaiseWindow(dpy_, id);
    // A window manager, if there is one, decides; the request tells it.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = netActiveWindow_;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // from an application
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, display_.Root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    // Without one nobody else sets the focus, and the server refuses it
    // for a window that is not viewable yet: it waits for MapNotify.
    record->FocusWanted = true;
    if (record->Mapped) ApplyFocus(id, *record);
}

void X11User::ApplyFocus(Window window, WindowRecord& record) {
    record.FocusWanted = false;
    XSetInputFocus(dpy_, window, RevertToParent, CurrentTime);
}

// Invalidated areas are painted only when nothing else waits, as paint
// messages are made on demand on the platform the framework follows.
bool X11User::PeekMessage(Message& message) {
    while (XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        message = Message{};
        if (Translate(event, message)) return true;
    }
    return TakeInvalidated(message);
}

void X11User::WaitMessage() {
    XFlush(dpy_);
    if (!invalid_.empty()) return;
    // Events Xlib has already read from the socket would not wake poll().
    if (XQLength(dpy_) > 0 || XPending(dpy_) > 0) return;
    pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
    // An interrupted or failed poll returns too: the caller looks again, and
    // a dead connection then reaches the connection-lost handler.
    poll(&p, 1, -1);
}

void X11User::Flush() { XFlush(dpy_); }

// One handler per kind of event; kinds without one mean nothing to the
// program. A handler returns whether the event became a message.
using EventHandler = bool (X11User::*)(XEvent&, Message&);

const std::array<EventHandler, LASTEvent>& X11User::EventHandlers() {
    static const std::array<EventHandler, LASTEvent> handlers = [] {
        std::array<EventHandler, LASTEvent> table{};
        table[Expose] = &X11User::OnExpose;
        table[GraphicsExpose] = &X11User::OnGraphicsExpose;
        table[KeyPress] = &X11User::OnKey;
        table[KeyRelease] = &X11User::OnKey;
        table[ButtonPress] = &X11User::OnButton;
        table[ButtonRelease] = &X11User::OnButton;
        table[MotionNotify] = &X11User::OnMotion;
        table[FocusIn] = &X11User::OnFocus;
        table[FocusOut] = &X11User::OnFocus;
        table[MapNotify] = &X11User::OnMap;
        table[UnmapNotify] = &X11User::OnUnmap;
        table[DestroyNotify] = &X11User::OnDestroy;
        table[ClientMessage] = &X11User::OnClientMessage;
        table[SelectionRequest] = &X11User::OnSelectionRequest;
        table[SelectionClear] = &X11User::OnSelectionClear;
        return table;
    }();
    return handlers;
}

bool X11User::Translate(XEvent& event, Message& message) {
    if (event.type < 0 || event.type >= LASTEvent) return false;
    const EventHandler handler = EventHandlers()[static_cast<std::size_t>(event.type)];
    return handler != nullptr && (this->*handler)(event, message);
}

bool X11User::OnExpose(XEvent& event, Message& message) {
    const XExposeEvent& e = event.xexpose;
    if (Find(e.window) == nullptr) return false;
    Rect area{e.x, e.y, e.x + e.width, e.y + e.height};
    auto pending = exposed_.find(e.window);
    if (pending != exposed_.end()) {
        area = Union(pending->second, area);
        exposed_.erase(pending);
    }
    if (e.count > 0) {
        exposed_[e.window] = area;
        return false;
    }
    // One paint covers what the program invalidated there too.
    if (auto invalid = invalid_.find(e.window); invalid != invalid_.end()) {
        area = Union(area, invalid->second);
        invalid_.erase(invalid);
    }
    message.Window = e.window;
    message.Kind = MessageKind::Paint;
    message.Area = area;
    return true;
}

bool X11User::OnGraphicsExpose(XEvent& event, Message& message) {
    const XGraphicsExposeEvent& e = event.xgraphicsexpose;
    if (Find(e.drawable) == nullptr) return false;
    message.Window = e.drawable;
    message.Kind = MessageKind::Paint;
    message.Area = {e.x, e.y, e.x + e.width, e.y + e.height};
    return true;
}

bool X11User::OnKey(XEvent& event, Message& message) { return TranslateKey(event.xkey, message); }

bool X11User::OnButton(XEvent& event, Message& message) {
    const XButtonEvent& e = event.xbutton;
    if (e.button < Button1 || e.button > Button3 || Find(e.window) == nullptr) return false;
    const bool down = event.type == ButtonPress;
    const std::uint32_t bit = 1u << (e.button - 1);
    message.Window = e.window;
    message.Kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
    message.Button = e.button;
    message.X = e.x;
    message.Y = e.y;
    message.Time = static_cast<std::uint32_t>(e.time);
    message.Modifiers = ModifiersOf(e.state);
    // The state is from before the event; the message tells what is held after it.
    message.ButtonMask = down ? (ButtonsOf(e.state) | bit) : (ButtonsOf(e.state) & ~bit);
    return true;
}

bool X11User::OnMotion(XEvent& event, Message& message) {
    // Only the latest position of a run of motions matters.
    XEvent next;
    while (XEventsQueued(dpy_, QueuedAlready) > 0) {
        XPeekEvent(dpy_, &next);
        if (next.type != MotionNotify || next.xmotion.window != event.xmotion.window) break;
        XNextEvent(dpy_, &event);
    }
    const XMotionEvent& e = event.xmotion;
    if (Find(e.window) == nullptr) return false;
    message.Window = e.window;
    message.Kind = MessageKind::MouseMove;
    message.X = e.x;
    message.Y = e.y;
    message.Time = static_cast<std::uint32_t>(e.time);
    message.Modifiers = ModifiersOf(e.state);
    message.ButtonMask = ButtonsOf(e.state);
    return true;
}

bool X11User::OnFocus(XEvent& event, Message& message) {
    return TranslateFocus(event.xfocus, event.type == FocusIn, message);
}

bool X11User::OnMap(XEvent& event, Message&) {
    WindowRecord* record = Find(event.xmap.window);
    if (record != nullptr && IsTopLevel(*record)) {
        record->Mapped = true;
        if (record->FocusWanted) ApplyFocus(event.xmap.window, *record);
    }
    return false;
}

bool X11User::OnUnmap(XEvent& event, Message&) {
    WindowRecord* record = Find(event.xunmap.window);
    if (record != nullptr) record->Mapped = false;
    return false;
}

bool X11User::OnDestroy(XEvent& event, Message& message) {
    // Windows we destroy ourselves are forgotten at once, so a window
    // still known here was destroyed by another program.
    const Window window = event.xdestroywindow.window;
    const WindowRecord* record = Find(window);
    if (record == nullptr || record->Parent != 0) return false;
    ForgetWindow(window);
    message.Window = window;
    message.Kind = MessageKind::Destroyed;
    return true;
}

bool X11User::OnClientMessage(XEvent& event, Message& message) {
    const XClientMessageEvent& e = event.xclient;
    if (e.message_type != wmProtocols_ || e.format != 32 ||
        static_cast<Atom>(e.data.l[0]) != wmDeleteWindow_ || Find(e.window) == nullptr)
        return false;
    message.Window = e.window;
    message.Kind = MessageKind::Close;
    return true;
}

bool X11User::OnSelectionRequest(XEvent& event, Message&) {
    AnswerSelectionRequest(event.xselectionrequest);
    return false;
}

bool X11User::OnSelectionClear(XEvent& event, Message&) {
    ForgetSelection(event.xselectionclear);
    return false;
}

bool X11User::TranslateKey(const XKeyEvent& event, Message& message) {
    if (Find(event.window) == nullptr) return false;
    XKeyEvent copy = event;
    char latin1[16] = {};
    KeySym typed = NoSymbol;
    int count = XLookupString(&copy, latin1, sizeof latin1 - 1, &typed, nullptr);
    // The key's own symbol (level 0) names the key whatever the modifiers
    // make it type: Shift+1 is still the key "1".
    KeySym base = XLookupKeysym(&copy, 0);
    std::uint32_t key = VirtualKeyFromKeySym(base);
    if (key == 0) key = VirtualKeyFromKeySym(typed);

    std::string utf8;
    if (count > 0) {
        for (int i = 0; i < count; ++i) AppendUtf8(utf8, static_cast<unsigned char>(latin1[i]));
    } else {
        std::uint32_t code = UnicodeFromKeySym(typed);
        if (code != 0) AppendUtf8(utf8, code);
    }
    if (key == 0 && utf8.empty()) return false;

    message.Window = event.window;
    message.Kind = event.type == KeyPress ? MessageKind::KeyDown : MessageKind::KeyUp;
    message.Key = key;
    message.Modifiers = ModifiersOf(event.state);
    message.Time = static_cast<std::uint32_t>(event.time);
    message.X = event.x;
    message.Y = event.y;
    const std::string text = Utf8ToCp932(utf8);
    if (event.type == KeyPress && text.size() < sizeof message.Text)
        std::memcpy(message.Text, text.data(), text.size());
    return true;
}

bool X11User::TranslateFocus(const XFocusChangeEvent& event, bool in, Message& message) {
    WindowRecord* record = Find(event.window);
    if (record == nullptr || !IsTopLevel(*record)) return false;
    if (event.mode != NotifyNormal && event.mode != NotifyWhileGrabbed) return false;
    if (event.detail == NotifyInferior || event.detail == NotifyPointer ||
        event.detail == NotifyPointerRoot || event.detail == NotifyDetailNone)
        return false;
    if (record->Active == in) return false;
    record->Active = in;
    message.Window = event.window;
    message.Kind = in ? MessageKind::Activate : MessageKind::Deactivate;
    return true;
}

int X11User::GetSystemMetrics(int index) {
    switch (index) {
    case metric::CxScreen:
        return DisplayWidth(dpy_, display_.ScreenNumber());
    case metric::CyScreen:
        return DisplayHeight(dpy_, display_.ScreenNumber());
    // Lines the framework draws itself, at their classic widths.
    case metric::CxBorder:
    case metric::CyBorder:
        return 1;
    case metric::CxEdge:
    case metric::CyEdge:
        return 2;
    // The dialog frame is the window manager's: the same width left and
    // right, the title bar above. Without a window manager, or with one
    // that does not tell, the outer size is the client size.
    case metric::CxDlgFrame:
        return WindowManagerFrame().Left;
    case metric::CyDlgFrame:
        return WindowManagerFrame().Bottom;
    case metric::CyCaption:
        return std::max(0, WindowManagerFrame().Top - WindowManagerFrame().Bottom);
    default:
        return 0;
    }
}

const X11User::FrameExtents& X11User::WindowManagerFrame() {
    if (!frame_) frame_ = AskForFrameExtents();
    return *frame_;
}

// A window manager names itself on a window of its own, which names itself
// too; a stale property left by one that has gone does not.
bool X11User::WindowManagerSupports(Atom feature) {
    auto readAtoms = [this](Window window, Atom property, Atom type) {
        std::vector<long> values;
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy_, window, property, 0, 4096, False, type, &actual, &format,
                               &count, &after, &data) == Success &&
            data != nullptr) {
            if (actual == type && format == 32) {
                const auto* items = reinterpret_cast<const long*>(data);
                values.assign(items, items + count);
            }
            XFree(data);
        }
        return values;
    };
    const std::vector<long> check = readAtoms(display_.Root(), netSupportingWmCheck_, XA_WINDOW);
    if (check.size() != 1) return false;
    const auto wm = static_cast<Window>(check[0]);
    // The named window may be gone: its BadWindow is one of those that mean nothing.
    const std::vector<long> self = readAtoms(wm, netSupportingWmCheck_, XA_WINDOW);
    if (self.size() != 1 || static_cast<Window>(self[0]) != wm) return false;
    const std::vector<long> supported = readAtoms(display_.Root(), netSupported_, XA_ATOM);
    return std::find(supported.begin(), supported.end(), static_cast<long>(feature)) !=
           supported.end();
}

namespace {

struct PropertyWanted {
    Window Of;
    Atom Name;
};

Bool IsPropertyChange(Display*, XEvent* event, XPointer wanted) {
    const auto* w = reinterpret_cast<const PropertyWanted*>(wanted);
    return event->type == PropertyNotify && event->xproperty.window == w->Of &&
           event->xproperty.atom == w->Name;
}

// A window manager that says it answers does so at once; one that does
// not must not hold up the start for long.
constexpr auto FrameAnswerTime = std::chrono::milliseconds(500);

}  // namespace

// The frame is known before the first window shows: the window manager is
// asked for the frame it would give an unmapped window with the program's
// hints (_NET_REQUEST_FRAME_EXTENTS), and answers on that window. Other
// events stay queued in their order meanwhile.
X11User::FrameExtents X11User::AskForFrameExtents() {
    FrameExtents frame;
    if (!WindowManagerSupports(netRequestFrameExtents_)) return frame;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window probe = XCreateWindow(dpy_, display_.Root(), 0, 0, 1, 1, 0, CopyFromParent,
                                       InputOutput, CopyFromParent, CWEventMask, &attributes);
    long type = static_cast<long>(netWmWindowTypeNormal_);
    XChangeProperty(dpy_, probe, netWmWindowType_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    SetDialogFrameHints(probe);

    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = probe;
    request.xclient.message_type = netRequestFrameExtents_;
    request.xclient.format = 32;
    XSendEvent(dpy_, display_.Root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &request);
    XFlush(dpy_);

    PropertyWanted wanted{probe, netFrameExtents_};
    XEvent answer;
    bool answered = false;
    const auto deadline = std::chrono::steady_clock::now() + FrameAnswerTime;
    while (!(answered = XCheckIfEvent(dpy_, &answer, &IsPropertyChange,
                                      reinterpret_cast<XPointer>(&wanted)) != 0)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left.count()));
    }
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (answered &&
        XGetWindowProperty(dpy_, probe, netFrameExtents_, 0, 4, False, XA_CARDINAL, &actual,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
        if (format == 32 && count == 4) {
            const auto* v = reinterpret_cast<const long*>(data);
            const auto width = [](long value) {
                return static_cast<std::int32_t>(std::clamp(value, 0L, 1000L));
            };
            frame = {width(v[0]), width(v[1]), width(v[2]), width(v[3])};
        }
        XFree(data);
    }
    XDestroyWindow(dpy_, probe);
    return frame;
}

// A round trip: the server knows at once what the events tell later. The
// BadWindow of a window that is gone is one of the errors that mean nothing.
bool X11User::IsWindow(WindowHandle window) {
    auto id = static_cast<Window>(window);
    if (Find(id) == nullptr) return false;
    XWindowAttributes attributes;
    return XGetWindowAttributes(dpy_, id, &attributes) != 0;
}

}  // namespace qmk::platform::x11
