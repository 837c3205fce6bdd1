// The start button and the result box as the system's own "BUTTON" and
// "EDIT" controls, with the framework on top, under Wine: their classes and
// styles, the click and the keys that reach the program, the focus moving
// between them, line replacement through the edit control's own messages,
// and what the system gives the user (read-only text, Ctrl+C).
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/win32/Win32Gdi.h"
#include "platform/win32/Win32Kernel.h"
#include "platform/win32/Win32User.h"
#include "ui/Application.h"
#include "ui/DemoForm.h"
#include "ui/Fonts.h"

namespace qmk::platform::win32::testing {
namespace {

using test::TDemoForm;

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// "ＣＰＵ：" and "ビデオ：" as the box holds them (UTF-16).
constexpr wchar_t CpuWide[] = L"\uff23\uff30\uff35\uff1a";
constexpr wchar_t VideoWide[] = L"\u30d3\u30c7\u30aa\uff1a";

std::wstring ClassOf(HWND window) {
    wchar_t name[32]{};
    ::GetClassNameW(window, name, 32);
    std::wstring result(name);
    for (wchar_t& c : result) c = static_cast<wchar_t>(::towupper(c));
    return result;
}

std::wstring TextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)); }

class Win32ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
        form_ = &application_->CreateForm<TDemoForm>();
        form_->Show();
        Pump();
        button_ = Hwnd(form_->StartButton->Handle());
        edit_ = Hwnd(form_->Kekka->Handle());
    }
    void TearDown() override { application_.reset(); }

    // Everything the system and the program have for each other now.
    void Pump() {
        for (int round = 0; round < 3; ++round) application_->ProcessMessages();
    }
    void Key(HWND window, WPARAM key) {
        ::PostMessageW(window, WM_KEYDOWN, key, 1);
        ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        Pump();
    }

    Win32Gdi gdi_;
    Win32User user_;
    Win32Kernel kernel_;
    ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
    TDemoForm* form_ = nullptr;
    HWND button_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(Win32ControlsTest, TheControlsAreTheSystemsWithTheDesignedStyles) {
    EXPECT_EQ(ClassOf(button_), L"BUTTON");
    EXPECT_EQ(ClassOf(edit_), L"EDIT");
    EXPECT_EQ(TextOf(button_), L"\u30b9\u30bf\u30fc\u30c8");  // スタート
    EXPECT_EQ(TextOf(edit_), std::wstring(CpuWide) + L"\r\n" + VideoWide + L"\r\n");

    const DWORD button = StyleOf(button_);
    EXPECT_EQ(button & (WS_CHILD | WS_VISIBLE | WS_TABSTOP), DWORD{WS_CHILD | WS_VISIBLE | WS_TABSTOP});
    // The focused button is the default one.
    EXPECT_EQ(::GetFocus(), button_);
    EXPECT_EQ(button & BS_TYPEMASK, DWORD{BS_DEFPUSHBUTTON});

    const DWORD edit = StyleOf(edit_);
    const DWORD wanted = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
    EXPECT_EQ(edit & wanted, wanted);
    EXPECT_EQ(edit & (ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL | ES_CENTER | ES_RIGHT), 0u);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(edit_, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE,
              DWORD{WS_EX_CLIENTEDGE});

    // Each in its own font, at the designed place and size.
    EXPECT_EQ(static_cast<ObjectHandle>(::SendMessageW(button_, WM_GETFONT, 0, 0)),
              FontHandle(form_->StartButton->Font()));
    EXPECT_EQ(static_cast<ObjectHandle>(::SendMessageW(edit_, WM_GETFONT, 0, 0)),
              FontHandle(form_->Kekka->Font()));
    RECT bounds{};
    ::GetWindowRect(edit_, &bounds);
    ::MapWindowPoints(nullptr, Hwnd(form_->Handle()), reinterpret_cast<POINT*>(&bounds), 2);
    EXPECT_EQ(bounds.left, 8);
    EXPECT_EQ(bounds.top, 112);
    EXPECT_EQ(bounds.right - bounds.left, 177);
    EXPECT_EQ(bounds.bottom - bounds.top, 33);
}

TEST_F(Win32ControlsTest, TheBoxShowsWhiteTextOnTeal) {
    // The parent answers the read-only box's colour question with the
    // box's colours and a brush of its background.
    HDC dc = ::CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        Hwnd(form_->Handle()), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit_)));
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(::GetTextColor(dc), COLORREF{0x00FFFFFF});
    EXPECT_EQ(::GetBkColor(dc), COLORREF{0x00808000});
    LOGBRUSH logBrush{};
    ::GetObjectW(brush, sizeof logBrush, &logBrush);
    EXPECT_EQ(logBrush.lbColor, COLORREF{0x00808000});
    ::DeleteDC(dc);

    // And so it paints: past the end of the text, inside the edge.
    ::UpdateWindow(edit_);
    HDC window = ::GetDC(edit_);
    RECT client{};
    ::GetClientRect(edit_, &client);
    EXPECT_EQ(::GetPixel(window, client.right - 3, client.bottom - 3), COLORREF{0x00808000});
    ::ReleaseDC(edit_, window);
}

TEST_F(Win32ControlsTest, AClickRunsTheHandlerOnce) {
    ::SendMessageW(button_, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(form_->Clicks, 1);
    // Also when the focus is elsewhere.
    form_->Kekka->SetFocus();
    Pump();
    ::SendMessageW(button_, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(form_->Clicks, 2);
}

TEST_F(Win32ControlsTest, EnterOnTheFocusedButtonClicksOnce) {
    ASSERT_EQ(::GetFocus(), button_);
    Key(button_, VK_RETURN);
    EXPECT_EQ(form_->Clicks, 1);
    // Not in the box, and the box's text stays as it is.
    form_->Kekka->SetFocus();
    Pump();
    Key(edit_, VK_RETURN);
    EXPECT_EQ(form_->Clicks, 1);
    EXPECT_EQ(TextOf(edit_), std::wstring(CpuWide) + L"\r\n" + VideoWide + L"\r\n");
}

TEST_F(Win32ControlsTest, TabMovesTheFocusBetweenTheTwoAndTheDefaultLookFollows) {
    ASSERT_EQ(::GetFocus(), button_);
    Key(button_, VK_TAB);
    EXPECT_EQ(::GetFocus(), edit_);
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
    EXPECT_EQ(StyleOf(button_) & BS_TYPEMASK, DWORD{BS_PUSHBUTTON});
    Key(edit_, VK_TAB);
    EXPECT_EQ(::GetFocus(), button_);
    EXPECT_EQ(form_->ActiveControl(), form_->StartButton);
    EXPECT_EQ(StyleOf(button_) & BS_TYPEMASK, DWORD{BS_DEFPUSHBUTTON});
}

TEST_F(Win32ControlsTest, TheFocusThatTheSystemMovesIsTheFormsToo) {
    // As a click into the box does it.
    ::SetFocus(edit_);
    Pump();
    EXPECT_EQ(form_->ActiveControl(), form_->Kekka);
    EXPECT_EQ(StyleOf(button_) & BS_TYPEMASK, DWORD{BS_PUSHBUTTON});
}

BOOL CALLBACK CloseErrorBox(HWND window, LPARAM found) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t className[16]{};
    ::GetClassNameW(window, className, 16);
    if (process != ::GetCurrentProcessId() || std::wstring(className) != L"#32770") return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

TEST_F(Win32ControlsTest, AfterAnErrorBoxTheKeyboardIsTheButtonsAgain) {
    form_->OnClickAction = [] { throw std::runtime_error("stop"); };
    bool found = false;
    std::thread closer([&found] {
        for (int i = 0; i < 300 && !found; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::EnumWindows(CloseErrorBox, reinterpret_cast<LPARAM>(&found));
        }
    });
    ::SendMessageW(button_, BM_CLICK, 0, 0);
    Pump();
    closer.join();
    ASSERT_TRUE(found) << "no error box within 30 s";
    Pump();
    EXPECT_EQ(::GetFocus(), button_);
    form_->OnClickAction = nullptr;
    Key(button_, VK_RETURN);
    EXPECT_EQ(form_->Clicks, 2);
}

TEST_F(Win32ControlsTest, ReplaceLineWritesLogicalLinesThroughTheEditControl) {
    form_->Kekka->Lines().ReplaceLine(0, "CPU 1992");
    form_->Kekka->Lines().ReplaceLine(1, "V 2370");
    EXPECT_EQ(TextOf(edit_), L"CPU 1992\r\nV 2370\r\n");
    // The caret ends after the new text.
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 16u);
    EXPECT_EQ(end, 16u);

    // A line wider than the box wraps; the next result still goes to the
    // line after it, not into its second half.
    const std::string wide = "CPU 12345 (619.75%) and more words to wrap";
    form_->Kekka->Lines().ReplaceLine(0, wide);
    EXPECT_GT(::SendMessageW(edit_, EM_GETLINECOUNT, 0, 0), 3);
    form_->Kekka->Lines().ReplaceLine(1, "V 1");
    EXPECT_EQ(TextOf(edit_), std::wstring(wide.begin(), wide.end()) + L"\r\nV 1\r\n");

    // The box has painted the new line already: a run does not let the
    // loop paint for seconds.
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(edit_, &update, FALSE));

    // The empty line after the last break exists; the ones after it do not.
    form_->Kekka->Lines().ReplaceLine(2, "x");
    form_->Kekka->Lines().ReplaceLine(3, "y");
    EXPECT_EQ(TextOf(edit_), std::wstring(wide.begin(), wide.end()) + L"\r\nV 1\r\nx");
    EXPECT_EQ(form_->Kekka->Text(), wide + "\r\nV 1\r\nx");
}

TEST_F(Win32ControlsTest, TheUserCanSelectAndCopyButNotType) {
    ::SetFocus(edit_);
    Pump();
    ::PostMessageW(edit_, WM_CHAR, L'x', 1);
    ::PostMessageW(edit_, WM_KEYDOWN, VK_BACK, 1);
    ::PostMessageW(edit_, WM_CHAR, L'\b', 1);
    ::PostMessageW(edit_, WM_KEYDOWN, VK_DELETE, 1);
    Pump();
    EXPECT_EQ(TextOf(edit_), std::wstring(CpuWide) + L"\r\n" + VideoWide + L"\r\n");

    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    // Select "ビデオ" and press Ctrl+C: the key goes through the program's
    // message loop, which lets the system make the character the box
    // copies on.
    ::SendMessageW(edit_, EM_SETSEL, 6, 9);
    BYTE keys[256]{};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::PostMessageW(edit_, WM_KEYDOWN, 'C', 0x002E0001);
    Pump();
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);

    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    std::wstring copied;
    if (data != nullptr) {
        copied = static_cast<const wchar_t*>(::GlobalLock(data));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    EXPECT_EQ(copied, L"\u30d3\u30c7\u30aa");
}

}  // namespace
}  // namespace qmk::platform::win32::testing
