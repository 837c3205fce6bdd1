#include "platform/win32/Win32User.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32Text.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform::win32 {

namespace {

constexpr wchar_t WindowClassName[] = L"QMKWindow";

// What the window procedure needs of each window, with the drawing
// objects it holds. The window owns it from WM_NCCREATE on (a standard
// control: once it is subclassed) and frees it with WM_NCDESTROY; until
// then its creator does, so a creation that fails at any point frees it
// exactly once.
struct WindowRecord {
    WindowRecord() = default;
    WindowRecord(const WindowRecord&) = delete;
    WindowRecord& operator=(const WindowRecord&) = delete;
    ~WindowRecord() {
        if (Background != nullptr) ::DeleteObject(Background);
        if (BigIcon != nullptr) ::DestroyIcon(BigIcon);
        if (SmallIcon != nullptr) ::DestroyIcon(SmallIcon);
    }

    Win32User* Owner = nullptr;
    std::uint32_t Style = 0;
    HBRUSH Background = nullptr;
    HICON BigIcon = nullptr;
    HICON SmallIcon = nullptr;
    std::uint32_t ButtonsHeld = 0;
    // Standard controls: the system's window procedure, which ours passes
    // every message on to, and the colours the parent paints a box with.
    WindowKind Kind = WindowKind::Plain;
    WNDPROC Original = nullptr;
    COLORREF TextColor = 0;
    COLORREF BackgroundColor = 0;
};

WindowRecord* RecordOf(HWND window) {
    return reinterpret_cast<WindowRecord*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle Handle(HWND window) { return reinterpret_cast<WindowHandle>(window); }

void FreeRecord(HWND window, WindowRecord* record) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete record;
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The creator hands its record over here: should the creation fail
        // later (WM_CREATE refused), WM_NCDESTROY frees it, not the creator.
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* creator = static_cast<std::unique_ptr<WindowRecord>*>(create->lpCreateParams);
        if (creator != nullptr && *creator != nullptr) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator->release()));
        }
    }
    WindowRecord* record = RecordOf(window);
    if (record == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const LRESULT result = record->Owner->WindowMessage(Handle(window), message, wParam, lParam);
        FreeRecord(window, record);
        return result;
    }
    return static_cast<LRESULT>(record->Owner->WindowMessage(Handle(window), message, wParam, lParam));
}

// The subclass of the standard controls.
LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = RecordOf(window);
    const WNDPROC original = record->Original;
    if (message == WM_NCDESTROY) {
        const LRESULT result = ::CallWindowProcW(original, window, message, wParam, lParam);
        FreeRecord(window, record);
        return result;
    }
    if (record->Owner->ControlMessage(Handle(window), message, wParam, lParam)) return 0;
    return ::CallWindowProcW(original, window, message, wParam, lParam);
}

// A standard control of this backend (the only windows whose procedure is
// the subclass): other windows' user data is not ours to read.
WindowRecord* ControlRecordOf(HWND window) {
    if (window == nullptr ||
        ::GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&ControlProcedure)) {
        return nullptr;
    }
    return RecordOf(window);
}

// The application window is shown, with no size, at the place the
// framework gives it: it carries the program's taskbar entry (its title and
// icon) and owns the main window, which therefore has no entry of its own.
DWORD StyleOf(std::uint32_t style) {
    if ((style & ws::Child) != 0) {
        return WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | ((style & ws::Visible) != 0 ? WS_VISIBLE : 0);
    }
    if ((style & ws::ApplicationWindow) != 0) {
        return WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    }
    DWORD result = WS_CLIPCHILDREN;
    if ((style & (ws::DialogFrame | ws::Modal)) != 0) {
        // Minimising is the taskbar entry's business.
        result |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
    } else {
        result |= WS_OVERLAPPEDWINDOW;
    }
    if ((style & ws::Visible) != 0) result |= WS_VISIBLE;
    return result;
}

DWORD ExtendedStyleOf(std::uint32_t style) {
    if ((style & ws::Child) != 0 || (style & ws::ApplicationWindow) != 0) return 0;
    if ((style & (ws::DialogFrame | ws::Modal)) != 0) return WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    return 0;
}

// The taskbar entry's menu moves, sizes and maximises nothing: the window
// behind it has no size.
void TrimApplicationMenu(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (menu == nullptr) return;
    ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
}

// The class's atom, once it is registered: every Win32User of the process
// shares the one class.
ATOM WindowClassAtom = 0;

// The record of a window of this backend's class. The thread has other
// windows, some owned by the application window (the input method's, a
// system message box), whose user data is not ours to read.
WindowRecord* OwnRecordOf(HWND window) {
    if (window == nullptr || WindowClassAtom == 0 ||
        ::GetClassLongPtrW(window, GCW_ATOM) != static_cast<ULONG_PTR>(WindowClassAtom)) {
        return nullptr;
    }
    return RecordOf(window);
}

// The program's window the taskbar entry stands for: the first visible
// window of ours the application window owns that is not a modal box.
struct MainWindowSearch {
    HWND Application = nullptr;
    HWND Found = nullptr;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<MainWindowSearch*>(data);
    const WindowRecord* record = OwnRecordOf(window);
    if (record == nullptr || ::GetWindow(window, GW_OWNER) != search->Application ||
        (record->Style & ws::Modal) != 0 || !::IsWindowVisible(window)) {
        return TRUE;
    }
    search->Found = window;
    return FALSE;
}

HWND OwnedMainWindow(HWND application) {
    MainWindowSearch search{application, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// The outer rectangle of a top-level window whose client area is the
// given one.
RECT OuterRect(HWND window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    RECT rect{x, y, x + width, y + height};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

std::uint32_t Modifiers() {
    std::uint32_t result = 0;
    if (::GetKeyState(VK_SHIFT) < 0) result |= mod::Shift;
    if (::GetKeyState(VK_CONTROL) < 0) result |= mod::Control;
    if (::GetKeyState(VK_MENU) < 0) result |= mod::Alt;
    return result;
}

std::uint32_t ButtonMask(WPARAM keys) {
    std::uint32_t mask = 0;
    if ((keys & MK_LBUTTON) != 0) mask |= 1;
    if ((keys & MK_MBUTTON) != 0) mask |= 2;
    if ((keys & MK_RBUTTON) != 0) mask |= 4;
    return mask;
}

// What the key types in the keyboard's current state, in code page 932;
// ToUnicode would disturb a dead key's state, so it is not asked for keys
// that type nothing with Ctrl or Alt held.
void TypedText(WPARAM key, LPARAM lParam, char (&text)[8]) {
    BYTE state[256];
    if (!::GetKeyboardState(state)) return;
    wchar_t typed[4];
    const UINT scan = (static_cast<UINT>(lParam) >> 16) & 0xFF;
    const int count = ::ToUnicode(static_cast<UINT>(key), scan, state, typed, 4, 0);
    if (count <= 0) return;
    int bytes = WideToCp932(typed, count, text, static_cast<int>(sizeof text) - 1);
    // Control characters are keys, not text.
    if (bytes == 1 && static_cast<unsigned char>(text[0]) < 0x20) bytes = 0;
    text[bytes > 0 ? bytes : 0] = '\0';
}

void RegisterWindowClass() {
    if (WindowClassAtom != 0) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = ::LoadIconW(windowClass.hInstance, L"MAINICON");
    windowClass.lpszClassName = WindowClassName;
    WindowClassAtom = ::RegisterClassExW(&windowClass);
}

HICON IconFromArgb(std::int32_t width, std::int32_t height, const std::uint32_t* argb) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height;  // rows top to bottom
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    HDC screen = ::GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP color = ::CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header),
                                       DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    if (color == nullptr) return nullptr;
    std::memcpy(bits, argb, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    // With an alpha channel the mask only has to exist.
    const std::vector<BYTE> maskBits(static_cast<std::size_t>((width + 15) / 16 * 2) *
                                         static_cast<std::size_t>(height),
                                     0);
    HBITMAP mask = ::CreateBitmap(width, height, 1, 1, maskBits.data());
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color;
    info.hbmMask = mask;
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(color);
    ::DeleteObject(mask);
    return icon;
}

}  // namespace

Win32User::Win32User() { RegisterWindowClass(); }

Win32User::~Win32User() = default;

namespace {

HWND CreateControl(Win32User* owner, const CreateWindowParams& params) {
    auto record = std::make_unique<WindowRecord>();
    record->Owner = owner;
    record->Style = params.Style;
    record->Kind = params.Kind;
    record->BackgroundColor = params.Background;
    record->TextColor = ::GetSysColor(COLOR_WINDOWTEXT);
    record->Background = ::CreateSolidBrush(params.Background);
    const bool button = params.Kind == WindowKind::PushButton;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if ((params.Style & ws::Visible) != 0) style |= WS_VISIBLE;
    if ((params.Style & ws::TabStop) != 0) style |= WS_TABSTOP;
    // The box wraps at its width: no ES_AUTOHSCROLL, no scroll bars.
    style |= button ? static_cast<DWORD>(BS_PUSHBUTTON)
                    : static_cast<DWORD>(ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY);
    const DWORD exStyle = button ? 0 : WS_EX_CLIENTEDGE;
    const WideText title(params.Title.data(), static_cast<int>(params.Title.size()));
    std::wstring titleText(title.Valid() ? title.Data() : L"", title.Valid() ? title.Length() : 0);
    // Child identifiers only have to differ between siblings.
    static std::uintptr_t nextId = 1;
    HWND window = ::CreateWindowExW(exStyle, button ? L"BUTTON" : L"EDIT", titleText.c_str(), style,
                                    params.X, params.Y, params.Width, params.Height, Hwnd(params.Parent),
                                    reinterpret_cast<HMENU>(nextId++), ::GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) return nullptr;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record.get()));
    record->Original = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProcedure)));
    if (record->Original == nullptr) {
        // Not subclassed: nothing would ever free the record but its creator.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ::DestroyWindow(window);
        return nullptr;
    }
    record.release();  // the subclass frees it with WM_NCDESTROY
    return window;
}

}  // namespace

WindowHandle Win32User::CreateWindow(const CreateWindowParams& params) {
    if (params.Kind != WindowKind::Plain) {
        if ((params.Style & ws::Child) == 0) return 0;
        return Handle(CreateControl(this, params));
    }
    auto record = std::make_unique<WindowRecord>();
    record->Owner = this;
    record->Style = params.Style;
    const COLORREF background = params.Background;
    record->Background = ::CreateSolidBrush(background);
    const WideText title(params.Title.data(), static_cast<int>(params.Title.size()));
    const DWORD style = StyleOf(params.Style);
    const DWORD exStyle = ExtendedStyleOf(params.Style);
    const bool child = (params.Style & ws::Child) != 0;
    const bool application = (params.Style & ws::ApplicationWindow) != 0;
    RECT rect{params.X, params.Y, params.X + params.Width, params.Y + params.Height};
    if (!child && !application) ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    const HWND parent = Hwnd(child ? params.Parent : params.Owner);
    std::wstring titleText(title.Valid() ? title.Data() : L"", title.Valid() ? title.Length() : 0);
    // The window takes the record at WM_NCCREATE; a creation refused
    // before that leaves it here.
    HWND window = ::CreateWindowExW(exStyle, WindowClassName, titleText.c_str(), style, rect.left,
                                    rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                    nullptr, ::GetModuleHandleW(nullptr), &record);
    if (window == nullptr) return 0;
    if (application) TrimApplicationMenu(window);
    return Handle(window);
}

void Win32User::DestroyWindow(WindowHandle window) {
    const WindowHandle previous = destroying_;
    destroying_ = window;
    ::DestroyWindow(Hwnd(window));
    destroying_ = previous;
    // Messages already queued for it mean nothing now.
    std::erase_if(queue_, [window](const Message& m) { return m.Window == window; });
}

void Win32User::ShowWindow(WindowHandle window, bool visible) {
    const WindowRecord* record = RecordOf(Hwnd(window));
    const bool child = record != nullptr && (record->Style & ws::Child) != 0;
    ::ShowWindow(Hwnd(window), visible ? (child ? SW_SHOWNA : SW_SHOW) : SW_HIDE);
}

void Win32User::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height) {
    const WindowRecord* record = RecordOf(Hwnd(window));
    if (record != nullptr && (record->Style & ws::Child) == 0) {
        const RECT rect = OuterRect(Hwnd(window), x, y, width, height);
        ::MoveWindow(Hwnd(window), rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, TRUE);
        return;
    }
    ::MoveWindow(Hwnd(window), x, y, width, height, TRUE);
}

void Win32User::SetWindowText(WindowHandle window, std::string_view text) {
    const WideText wide(text.data(), static_cast<int>(text.size()));
    if (!wide.Valid()) return;
    const std::wstring terminated(wide.Data(), static_cast<std::size_t>(wide.Length()));
    ::SetWindowTextW(Hwnd(window), terminated.c_str());
}

std::string Win32User::GetWindowText(WindowHandle window) {
    const int length = ::GetWindowTextLengthW(Hwnd(window));
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(Hwnd(window), text.data(), length + 1);
    return WideToCp932Lossy(text.data(), got);
}

void Win32User::SetWindowIcon(WindowHandle window, std::int32_t width, std::int32_t height,
                              const std::uint32_t* argb) {
    WindowRecord* record = RecordOf(Hwnd(window));
    if (record == nullptr || argb == nullptr || width <= 0 || height <= 0) return;
    HICON icon = IconFromArgb(width, height, argb);
    if (icon == nullptr) return;
    // One picture for both sizes: the system scales it.
    HICON small = ::CopyIcon(icon);
    ::SendMessageW(Hwnd(window), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(Hwnd(window), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (record->BigIcon != nullptr) ::DestroyIcon(record->BigIcon);
    if (record->SmallIcon != nullptr) ::DestroyIcon(record->SmallIcon);
    record->BigIcon = icon;
    record->SmallIcon = small;
}

void Win32User::InvalidateRect(WindowHandle window, const Rect* area) {
    if (area == nullptr) {
        ::InvalidateRect(Hwnd(window), nullptr, TRUE);
        return;
    }
    const RECT rect{area->Left, area->Top, area->Right, area->Bottom};
    ::InvalidateRect(Hwnd(window), &rect, TRUE);
}

void Win32User::Activate(WindowHandle window) {
    ::SetForegroundWindow(Hwnd(window));
    ::SetActiveWindow(Hwnd(window));
    ::SetFocus(Hwnd(window));
}

bool Win32User::PeekMessage(Message& message) {
    MSG msg;
    while (queue_.empty() && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            Message end;
            end.Kind = MessageKind::EndSession;
            Post(end);
            break;
        }
        // The standard controls take typed characters (the box's Ctrl+C
        // and Ctrl+A come as such); the program's own windows read keys.
        if (ControlRecordOf(msg.hwnd) != nullptr) ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (queue_.empty()) return false;
    message = queue_.front();
    queue_.pop_front();
    return true;
}

void Win32User::WaitMessage() {
    if (queue_.empty()) ::WaitMessage();
}

void Win32User::Flush() { ::GdiFlush(); }

void Win32User::SetClipboardText(WindowHandle owner, std::string_view text, std::uint32_t /*time*/) {
    // Lines end in CR LF on the clipboard.
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const WideText wide(crlf.data(), static_cast<int>(crlf.size()));
    if (!wide.Valid()) return;
    const std::size_t bytes = (static_cast<std::size_t>(wide.Length()) + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) return;
    auto* target = static_cast<wchar_t*>(::GlobalLock(memory));
    std::memcpy(target, wide.Data(), bytes - sizeof(wchar_t));
    target[wide.Length()] = L'\0';
    ::GlobalUnlock(memory);
    if (!::OpenClipboard(Hwnd(owner))) {
        ::GlobalFree(memory);
        return;
    }
    ::EmptyClipboard();
    if (::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) ::GlobalFree(memory);
    ::CloseClipboard();
}

bool Win32User::ShowMessageBox(WindowHandle owner, std::string_view text, std::string_view caption,
                               bool taskModal) {
    const WideText wideText(text.data(), static_cast<int>(text.size()));
    const WideText wideCaption(caption.data(), static_cast<int>(caption.size()));
    const std::wstring textZ(wideText.Valid() ? wideText.Data() : L"",
                             wideText.Valid() ? static_cast<std::size_t>(wideText.Length()) : 0);
    const std::wstring captionZ(wideCaption.Valid() ? wideCaption.Data() : L"",
                                wideCaption.Valid() ? static_cast<std::size_t>(wideCaption.Length()) : 0);
    const UINT type = MB_OK | MB_ICONSTOP | (taskModal ? MB_TASKMODAL : 0u);
    return ::MessageBoxW(taskModal ? nullptr : Hwnd(owner), textZ.c_str(), captionZ.c_str(), type) != 0;
}

int Win32User::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

bool Win32User::IsWindow(WindowHandle window) { return window != 0 && ::IsWindow(Hwnd(window)); }

void Win32User::SetControlFont(WindowHandle control, ObjectHandle font) {
    ::SendMessageW(Hwnd(control), WM_SETFONT, static_cast<WPARAM>(font), TRUE);
}

void Win32User::SetControlColors(WindowHandle control, ColorRef text, ColorRef background) {
    WindowRecord* record = ControlRecordOf(Hwnd(control));
    if (record == nullptr) return;
    record->TextColor = text;
    if (background != record->BackgroundColor || record->Background == nullptr) {
        HBRUSH brush = ::CreateSolidBrush(background);
        if (brush == nullptr) return;
        if (record->Background != nullptr) ::DeleteObject(record->Background);
        record->Background = brush;
        record->BackgroundColor = background;
    }
    ::InvalidateRect(Hwnd(control), nullptr, TRUE);
}

void Win32User::SetDefaultButton(WindowHandle button, bool isDefault) {
    ::SendMessageW(Hwnd(button), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void Win32User::ReplaceTextLine(WindowHandle edit, std::int32_t index, std::string_view text) {
    if (index < 0) return;
    const HWND window = Hwnd(edit);
    const int length = ::GetWindowTextLengthW(window);
    std::wstring current(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    current.resize(static_cast<std::size_t>(
        std::max(::GetWindowTextW(window, current.data(), static_cast<int>(current.size())), 0)));
    // Lines between CR LF, as the program counts them: the box's wrapping
    // does not count.
    std::size_t start = 0;
    for (std::int32_t line = 0; line < index; ++line) {
        const std::size_t end = current.find(L"\r\n", start);
        if (end == std::wstring::npos) return;
        start = end + 2;
    }
    std::size_t end = current.find(L"\r\n", start);
    if (end == std::wstring::npos) end = current.size();
    const WideText wide(text.data(), static_cast<int>(text.size()));
    if (!wide.Valid()) return;
    const std::wstring replacement(wide.Data(), static_cast<std::size_t>(wide.Length()));
    ::SendMessageW(window, EM_SETSEL, start, static_cast<LPARAM>(end));
    ::SendMessageW(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(replacement.c_str()));
    // A run keeps the loop from painting for seconds: the box shows its
    // new line now, not when the run is over.
    ::UpdateWindow(window);
}

void Win32User::SetFocus(WindowHandle control) { ::SetFocus(Hwnd(control)); }

bool Win32User::ControlMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                               std::intptr_t) {
    Message m;
    m.Window = window;
    switch (message) {
    case WM_KEYDOWN:
        // Moving between controls and pressing the button are the program's.
        if (wParam != VK_TAB && wParam != VK_RETURN) return false;
        m.Kind = MessageKind::KeyDown;
        m.Key = static_cast<std::uint32_t>(wParam);
        m.Modifiers = Modifiers();
        m.Time = static_cast<std::uint32_t>(::GetMessageTime());
        Post(m);
        return true;
    case WM_CHAR:
        // What those keys type (Ctrl+Enter types a line feed).
        return wParam == L'\t' || wParam == L'\r' || wParam == L'\n';
    case WM_SETFOCUS:
        m.Kind = MessageKind::FocusIn;
        Post(m);
        return false;
    default:
        return false;
    }
}

std::intptr_t Win32User::WindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    const HWND hwnd = Hwnd(window);
    WindowRecord* record = RecordOf(hwnd);
    Message m;
    m.Window = window;
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(hwnd, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, record->Background);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        ::BeginPaint(hwnd, &paint);
        ::EndPaint(hwnd, &paint);
        if (::IsRectEmpty(&paint.rcPaint)) return 0;
        m.Kind = MessageKind::Paint;
        m.Area = Rect{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom};
        Post(m);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        m.Kind = MessageKind::KeyDown;
        m.Key = static_cast<std::uint32_t>(wParam);
        m.Modifiers = Modifiers();
        m.Time = static_cast<std::uint32_t>(::GetMessageTime());
        if ((m.Modifiers & (mod::Control | mod::Alt)) == 0) TypedText(wParam, lParam, m.Text);
        Post(m);
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        m.Kind = MessageKind::KeyUp;
        m.Key = static_cast<std::uint32_t>(wParam);
        m.Modifiers = Modifiers();
        m.Time = static_cast<std::uint32_t>(::GetMessageTime());
        Post(m);
        return 0;
    case WM_SYSCHAR:
    case WM_CHAR:
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP: {
        const bool down = message == WM_LBUTTONDOWN || message == WM_MBUTTONDOWN || message == WM_RBUTTONDOWN;
        m.Kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
        m.Button = (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)   ? 1
                   : (message == WM_MBUTTONDOWN || message == WM_MBUTTONUP) ? 2
                                                                            : 3;
        m.X = static_cast<std::int16_t>(LOWORD(lParam));
        m.Y = static_cast<std::int16_t>(HIWORD(lParam));
        m.ButtonMask = ButtonMask(wParam);
        m.Modifiers = Modifiers();
        m.Time = static_cast<std::uint32_t>(::GetMessageTime());
        // The release goes to the window that got the press.
        if (down) {
            record->ButtonsHeld |= 1u << (m.Button - 1);
            ::SetCapture(hwnd);
        } else {
            record->ButtonsHeld &= ~(1u << (m.Button - 1));
            if (record->ButtonsHeld == 0 && ::GetCapture() == hwnd) ::ReleaseCapture();
        }
        Post(m);
        return 0;
    }
    case WM_MOUSEMOVE:
        m.Kind = MessageKind::MouseMove;
        m.X = static_cast<std::int16_t>(LOWORD(lParam));
        m.Y = static_cast<std::int16_t>(HIWORD(lParam));
        m.ButtonMask = ButtonMask(wParam);
        m.Modifiers = Modifiers();
        m.Time = static_cast<std::uint32_t>(::GetMessageTime());
        Post(m);
        return 0;
    case WM_ACTIVATE:
        if ((record->Style & ws::ApplicationWindow) != 0) {
            // A click on the taskbar entry activates the application
            // window; the keyboard belongs to the window the user worked in.
            const HWND popup = ::GetLastActivePopup(hwnd);
            if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0 && popup != hwnd &&
                ::IsWindowVisible(popup) && ::IsWindowEnabled(popup)) {
                ::SetActiveWindow(popup);
                return 0;
            }
        } else if ((record->Style & ws::Child) == 0) {
            m.Kind = LOWORD(wParam) == WA_INACTIVE ? MessageKind::Deactivate : MessageKind::Activate;
            Post(m);
        }
        break;
    case WM_CLOSE:
        if ((record->Style & ws::ApplicationWindow) != 0) {
            // Close on the taskbar entry closes the main window.
            const HWND main = OwnedMainWindow(hwnd);
            if (main == nullptr) return 0;
            m.Window = Handle(main);
        }
        m.Kind = MessageKind::Close;
        Post(m);
        return 0;
    case WM_COMMAND:
        // A button tells its parent of a click; the program hears it from
        // the button.
        if (HIWORD(wParam) == BN_CLICKED) {
            const HWND control = reinterpret_cast<HWND>(lParam);
            const WindowRecord* controlRecord = ControlRecordOf(control);
            if (controlRecord != nullptr && controlRecord->Kind == WindowKind::PushButton) {
                m.Window = Handle(control);
                m.Kind = MessageKind::Clicked;
                Post(m);
                return 0;
            }
        }
        break;
    case WM_CTLCOLORSTATIC:  // what a read-only box sends
    case WM_CTLCOLOREDIT: {
        const WindowRecord* controlRecord = ControlRecordOf(reinterpret_cast<HWND>(lParam));
        if (controlRecord == nullptr || controlRecord->Kind != WindowKind::ReadOnlyEdit) break;
        const HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, controlRecord->TextColor);
        ::SetBkColor(dc, controlRecord->BackgroundColor);
        return reinterpret_cast<std::intptr_t>(controlRecord->Background);
    }
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != 0) {
            if (sessionEnd_) {
                // Windows may end the process as soon as this returns. The
                // handler is called from a copy: it may destroy this object.
                const std::function<void()> end = sessionEnd_;
                end();
                return 0;
            }
            m.Kind = MessageKind::EndSession;
            Post(m);
        }
        return 0;
    case WM_WININICHANGE:
        if ((record->Style & ws::ApplicationWindow) != 0 && settingsChanged_ != nullptr) {
            settingsChanged_();
        }
        break;
    case WM_DESTROY:
        if (window != destroying_ && (record->Style & ws::Child) == 0) {
            m.Kind = MessageKind::Destroyed;
            Post(m);
        }
        break;
    default:
        break;
    }
    return static_cast<std::intptr_t>(::DefWindowProcW(hwnd, message, wParam, lParam));
}

}  // namespace qmk::platform::win32
