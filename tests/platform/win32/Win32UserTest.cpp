// The window half of the Win32 backend against real windows under Wine:
// the system's messages as the seam's, Windows' paint rules, texts in code
// page 932 through the W functions, and the application window's answers
// to the session's messages.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Gdi.h"
#include "platform/win32/Win32Gdi.h"
#include "platform/win32/Win32User.h"

namespace qmk::platform::win32::testing {
namespace {

// "スタート" in code page 932 and in UTF-16.
constexpr char StartCp932[] = "\x83\x58\x83\x5e\x81\x5b\x83\x67";
constexpr wchar_t StartWide[] = L"\u30b9\u30bf\u30fc\u30c8";

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

class Win32UserTest : public ::testing::Test {
protected:
    ~Win32UserTest() override {
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
            if (user_.IsWindow(*it)) user_.DestroyWindow(*it);
        }
    }

    WindowHandle Make(std::uint32_t style, WindowHandle parent = 0, std::int32_t width = 200,
                      std::int32_t height = 100, std::string_view title = "") {
        CreateWindowParams params;
        params.Style = style;
        params.Parent = (style & ws::Child) != 0 ? parent : 0;
        params.Owner = (style & ws::Child) != 0 ? 0 : parent;
        params.X = 10;
        params.Y = 20;
        params.Width = width;
        params.Height = height;
        params.Background = 0x00C0C0C0;
        params.Title = title;
        const WindowHandle window = user_.CreateWindow(params);
        EXPECT_NE(window, 0u);
        windows_.push_back(window);
        return window;
    }

    // Every message there is now, in order.
    std::vector<Message> Drain() {
        std::vector<Message> messages;
        Message m;
        while (user_.PeekMessage(m)) messages.push_back(m);
        return messages;
    }

    static const Message* Find(const std::vector<Message>& messages, MessageKind kind, WindowHandle window) {
        for (const Message& m : messages) {
            if (m.Kind == kind && m.Window == window) return &m;
        }
        return nullptr;
    }

    Win32User user_;
    Win32Gdi gdi_;
    std::vector<WindowHandle> windows_;
};

TEST_F(Win32UserTest, TheClientAreaHasTheAskedSizeAndPlace) {
    const WindowHandle window = Make(ws::DialogFrame | ws::Visible, 0, 400, 152);
    RECT client{};
    ASSERT_TRUE(::GetClientRect(Hwnd(window), &client));
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 152);
    POINT origin{0, 0};
    ::ClientToScreen(Hwnd(window), &origin);
    EXPECT_EQ(origin.x, 10);
    EXPECT_EQ(origin.y, 20);

    user_.MoveWindow(window, 30, 40, 500, 190);
    ASSERT_TRUE(::GetClientRect(Hwnd(window), &client));
    EXPECT_EQ(client.right, 500);
    EXPECT_EQ(client.bottom, 190);
    origin = {0, 0};
    ::ClientToScreen(Hwnd(window), &origin);
    EXPECT_EQ(origin.x, 30);
    EXPECT_EQ(origin.y, 40);
    // Fixed size: no sizing border, no maximize box.
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(Hwnd(window), GWL_STYLE));
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
}

TEST_F(Win32UserTest, InvalidatingErasesOnlyWhenThePaintComesAndThePaintValidates) {
    const WindowHandle window = Make(ws::DialogFrame | ws::Visible);
    Drain();
    const DcHandle dc = gdi_.GetDC(window);
    gdi_.SetPixel(dc, 5, 5, 0x00000000);
    ASSERT_EQ(gdi_.GetPixel(dc, 5, 5), 0x00000000u);

    const Rect area{0, 0, 50, 50};
    user_.InvalidateRect(window, &area);
    // Not erased yet: the area is only marked.
    EXPECT_EQ(gdi_.GetPixel(dc, 5, 5), 0x00000000u);
    RECT update{};
    EXPECT_TRUE(::GetUpdateRect(Hwnd(window), &update, FALSE));

    const std::vector<Message> messages = Drain();
    const Message* paint = Find(messages, MessageKind::Paint, window);
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ(paint->Area, area);
    // Erased to the window's background, and validated before the program
    // draws: no second paint follows.
    EXPECT_EQ(gdi_.GetPixel(dc, 5, 5), 0x00C0C0C0u);
    EXPECT_FALSE(::GetUpdateRect(Hwnd(window), &update, FALSE));
    EXPECT_EQ(Find(Drain(), MessageKind::Paint, window), nullptr);
    gdi_.ReleaseDC(window, dc);
}

TEST_F(Win32UserTest, InputArrivesAsTheSeamsMessages) {
    const WindowHandle window = Make(ws::DialogFrame | ws::Visible);
    const WindowHandle child = Make(ws::Child | ws::Visible, window, 50, 20);
    Drain();
    ::PostMessageW(Hwnd(child), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
    ::PostMessageW(Hwnd(child), WM_LBUTTONUP, 0, MAKELPARAM(8, 10));
    ::PostMessageW(Hwnd(window), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(Hwnd(window), WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001));
    std::vector<Message> messages = Drain();
    const Message* down = Find(messages, MessageKind::ButtonDown, child);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->Button, 1u);
    EXPECT_EQ(down->X, 7);
    EXPECT_EQ(down->Y, 9);
    const Message* up = Find(messages, MessageKind::ButtonUp, child);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->X, 8);
    const Message* key = Find(messages, MessageKind::KeyDown, window);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Key, vk::Return);
    EXPECT_STREQ(key->Text, "");  // a key, not text
    ASSERT_NE(Find(messages, MessageKind::KeyUp, window), nullptr);
    // In the order they came.
    EXPECT_LT(down, up);
    EXPECT_LT(up, key);
}

TEST_F(Win32UserTest, ClosingIsAskedNotDone) {
    const WindowHandle window = Make(ws::DialogFrame | ws::Visible);
    ::PostMessageW(Hwnd(window), WM_CLOSE, 0, 0);
    EXPECT_NE(Find(Drain(), MessageKind::Close, window), nullptr);
    EXPECT_TRUE(user_.IsWindow(window));
}

TEST_F(Win32UserTest, AWindowDestroyedByAnotherIsReportedOnce) {
    const WindowHandle mine = Make(ws::DialogFrame | ws::Visible);
    const WindowHandle theirs = Make(ws::DialogFrame | ws::Visible);
    Drain();
    user_.DestroyWindow(mine);
    ::DestroyWindow(Hwnd(theirs));
    const std::vector<Message> messages = Drain();
    EXPECT_EQ(Find(messages, MessageKind::Destroyed, mine), nullptr);
    EXPECT_NE(Find(messages, MessageKind::Destroyed, theirs), nullptr);
    EXPECT_FALSE(user_.IsWindow(theirs));
}

int settingsReads = 0;
void CountSettingsRead() { ++settingsReads; }

TEST_F(Win32UserTest, TheApplicationWindowAnswersTheSession) {
    const WindowHandle application = Make(ws::ApplicationWindow, 0, 0, 0, "QMK");
    user_.SetSettingsChangedHandler(&CountSettingsRead);
    settingsReads = 0;

    EXPECT_EQ(::SendMessageW(Hwnd(application), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(Find(Drain(), MessageKind::EndSession, application), nullptr);
    ::SendMessageW(Hwnd(application), WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
    EXPECT_EQ(settingsReads, 1);
    ::SendMessageW(Hwnd(application), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(Find(Drain(), MessageKind::EndSession, application), nullptr);
    ::SendMessageW(Hwnd(application), WM_ENDSESSION, TRUE, 0);
    EXPECT_NE(Find(Drain(), MessageKind::EndSession, application), nullptr);
    user_.SetSettingsChangedHandler(nullptr);

    // With a handler, the end is done before the answer: Windows may end
    // the process as soon as it has it.
    int ends = 0;
    user_.SetSessionEndHandler([&ends] { ++ends; });
    ::SendMessageW(Hwnd(application), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(ends, 0);
    ::SendMessageW(Hwnd(application), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(Find(Drain(), MessageKind::EndSession, application), nullptr);
    user_.SetSessionEndHandler(nullptr);
}

// The taskbar entry belongs to the application window, shown with no size;
// the main window it owns has none, and the entry's Close closes the main
// window, not the application's.
TEST_F(Win32UserTest, TheTaskbarEntryIsTheApplicationWindows) {
    const WindowHandle application = Make(ws::ApplicationWindow, 0, 0, 0, "QMK1.0");
    const WindowHandle main = Make(ws::DialogFrame | ws::Visible, application, 400, 152);
    const HWND app = Hwnd(application);
    EXPECT_TRUE(::IsWindowVisible(app));
    RECT outer{};
    ASSERT_TRUE(::GetWindowRect(app, &outer));
    EXPECT_EQ(outer.right - outer.left, 0);
    EXPECT_EQ(outer.bottom - outer.top, 0);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(app, GWL_STYLE)) & ~WS_DISABLED, 0x94CA0000u);
    HMENU menu = ::GetSystemMenu(app, FALSE);
    ASSERT_NE(menu, nullptr);
    for (UINT command : {SC_MAXIMIZE, SC_SIZE, SC_MOVE}) {
        EXPECT_EQ(::GetMenuState(menu, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
    }
    EXPECT_NE(::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));

    const HWND form = Hwnd(main);
    EXPECT_EQ(::GetWindow(form, GW_OWNER), app);
    const auto style = static_cast<DWORD>(::GetWindowLongW(form, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(form, GWL_EXSTYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0u);
    EXPECT_EQ(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE),
              static_cast<DWORD>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));

    Drain();
    ::SendMessageW(app, WM_CLOSE, 0, 0);
    const std::vector<Message> messages = Drain();
    EXPECT_NE(Find(messages, MessageKind::Close, main), nullptr);
    EXPECT_EQ(Find(messages, MessageKind::Close, application), nullptr);
    EXPECT_TRUE(user_.IsWindow(main));
}

LRESULT CALLBACK ForeignProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The application window owns windows that are not the program's (the
// input method's, a system message box); their user data means something
// else. Here a foreign window's reads like a record of a shown main window.
TEST_F(Win32UserTest, TheTaskbarEntrysCloseSkipsWindowsThatAreNotTheProgramsOwn) {
    const WindowHandle application = Make(ws::ApplicationWindow, 0, 0, 0, "QMK1.0");
    const WindowHandle main = Make(ws::DialogFrame | ws::Visible, application, 400, 152);
    WNDCLASSW foreignClass{};
    foreignClass.lpfnWndProc = &ForeignProcedure;
    foreignClass.hInstance = ::GetModuleHandleW(nullptr);
    foreignClass.lpszClassName = L"QMKTestForeign";
    ::RegisterClassW(&foreignClass);
    static std::uintptr_t lookalike[32]{};
    // Above the main window, so the search meets it first.
    HWND foreign = ::CreateWindowExW(0, L"QMKTestForeign", L"IME", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                     Hwnd(application), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(foreign, nullptr);
    ::SetWindowLongPtrW(foreign, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(lookalike));
    Drain();

    ::SendMessageW(Hwnd(application), WM_CLOSE, 0, 0);
    const std::vector<Message> messages = Drain();
    EXPECT_NE(Find(messages, MessageKind::Close, main), nullptr);
    EXPECT_EQ(Find(messages, MessageKind::Close, reinterpret_cast<WindowHandle>(foreign)), nullptr);
    ::DestroyWindow(foreign);
}

TEST_F(Win32UserTest, TextsAreCodePage932ForTheWFunctions) {
    const WindowHandle window = Make(ws::DialogFrame, 0, 200, 100, StartCp932);
    wchar_t wide[32]{};
    ::GetWindowTextW(Hwnd(window), wide, 32);
    EXPECT_STREQ(wide, StartWide);
    EXPECT_EQ(user_.GetWindowText(window), StartCp932);

    user_.SetWindowText(window, "QMK1.0");
    EXPECT_EQ(user_.GetWindowText(window), "QMK1.0");
    // A character code page 932 lacks comes back as "?", not as a look-alike.
    ::SetWindowTextW(Hwnd(window), L"a\u00e9b");
    EXPECT_EQ(user_.GetWindowText(window), "a?b");
}

TEST_F(Win32UserTest, TheClipboardGetsTheTextWithCrLf) {
    const WindowHandle window = Make(ws::DialogFrame);
    user_.SetClipboardText(window, std::string(StartCp932) + "\n1", 0);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    const std::wstring text(static_cast<const wchar_t*>(::GlobalLock(data)));
    ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(text, std::wstring(StartWide) + L"\r\n1");
}

struct BoxSeen {
    std::wstring Caption;
    std::wstring Text;
    bool Found = false;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM parameter) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t className[16]{};
    ::GetClassNameW(window, className, 16);
    if (process != ::GetCurrentProcessId() || std::wstring(className) != L"#32770") return TRUE;
    auto* seen = reinterpret_cast<BoxSeen*>(parameter);
    wchar_t text[256]{};
    ::GetWindowTextW(window, text, 256);
    seen->Caption = text;
    ::GetDlgItemTextW(window, 0xFFFF, text, 256);  // the box's text control
    seen->Text = text;
    seen->Found = true;
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

TEST_F(Win32UserTest, TheSystemsMessageBoxShowsTheTextsAndReturnsWhenClosed) {
    BoxSeen seen;
    std::thread closer([&seen] {
        for (int i = 0; i < 300 && !seen.Found; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&seen));
        }
    });
    const bool shown = user_.ShowMessageBox(0, std::string(StartCp932) + "\nQMK", "QMK1.0", true);
    closer.join();
    EXPECT_TRUE(shown);
    ASSERT_TRUE(seen.Found) << "no message box within 30 s";
    EXPECT_EQ(seen.Caption, L"QMK1.0");
    EXPECT_EQ(seen.Text, std::wstring(StartWide) + L"\nQMK");
}

}  // namespace
}  // namespace qmk::platform::win32::testing
