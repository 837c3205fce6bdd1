// The Windows programs as a user and the system meet them: qmk.exe's
// window on the desktop (its client area at the screen's dpi, its answers
// to the end of the session, its closing) and qmk-run.exe's output. The
// programs run as child processes of this one, in the same Wine session.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/ResultLines.h"
#include "app/Startup.h"
#include "platform/win32/OwnConsole.h"
#include "runtime/Cp932.h"
#include "runtime/ProgramTexts.h"

namespace qmk::platform::win32::testing {
namespace {

// The build folder as Wine sees it: the Unix root is drive Z:.
std::wstring BuiltProgram(const char* name) {
    std::string path = std::string("Z:") + QMK_BINARY_DIR + "/" + name;
    std::wstring wide;
    for (char c : path) wide += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Whether the child's standard output goes to a pipe that Output() reads.
enum class Pipe { None, Output };

class ChildProcess {
public:
    // console: standard output and standard error go there instead.
    // flags: CreateProcess's, such as CREATE_NEW_CONSOLE.
    ChildProcess(const std::wstring& program, const std::wstring& arguments, Pipe pipe = Pipe::None,
                 HANDLE console = nullptr, DWORD flags = 0) {
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        HANDLE write = nullptr;
        if (console != nullptr) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = console;
            startup.hStdError = console;
            startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        } else if (pipe != Pipe::None) {
            SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
            EXPECT_TRUE(::CreatePipe(&read_, &write, &inherit, 0));
            ::SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = write;
            startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
            startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        }
        const BOOL inherit = pipe != Pipe::None || console != nullptr ? TRUE : FALSE;
        started_ = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inherit, flags, nullptr,
                                    nullptr, &startup, &info_) != FALSE;
        if (write != nullptr) ::CloseHandle(write);
        EXPECT_TRUE(started_) << "cannot start the program, error " << ::GetLastError();
    }
    ~ChildProcess() {
        if (!started_) return;
        if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(info_.hProcess, 99);
        ::CloseHandle(info_.hProcess);
        ::CloseHandle(info_.hThread);
        if (read_ != nullptr) ::CloseHandle(read_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
    DWORD Id() const { return info_.dwProcessId; }

    std::string Output() {
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(read_, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
        return text;
    }

    // The exit status, or -1 when it has not ended within the time.
    long Wait(int seconds) {
        if (::WaitForSingleObject(info_.hProcess, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) return -1;
        DWORD status = 0;
        ::GetExitCodeProcess(info_.hProcess, &status);
        return static_cast<long>(status);
    }

private:
    PROCESS_INFORMATION info_{};
    HANDLE read_ = nullptr;
    bool started_ = false;
};

struct Search {
    DWORD Process;
    bool Main;
    HWND Found;
};

BOOL CALLBACK Consider(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t className[64];
    if (process != search->Process || ::GetClassNameW(window, className, 64) == 0 ||
        std::wstring(className) != L"QMKWindow") {
        return TRUE;
    }
    // Both are shown (the application window with no size, for the taskbar
    // entry); the main window is the one the application window owns, once
    // it is on the screen.
    const bool owned = ::GetWindow(window, GW_OWNER) != nullptr;
    if (owned != search->Main || (owned && !::IsWindowVisible(window))) return TRUE;
    search->Found = window;
    return FALSE;
}

// The program's main window (shown) or its application window, once it is
// there.
HWND WaitForWindow(const ChildProcess& program, bool main) {
    for (int i = 0; i < 600; ++i) {
        Search search{program.Id(), main, nullptr};
        ::EnumWindows(Consider, reinterpret_cast<LPARAM>(&search));
        if (search.Found != nullptr) return search.Found;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return nullptr;
}

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(ProgramTest, TheClientAreaHasTheDesignedSizeAtTheScreensDpi) {
    ChildProcess program(BuiltProgram("qmk.exe"), L"");
    ASSERT_TRUE(program.Started());
    HWND window = WaitForWindow(program, true);
    ASSERT_NE(window, nullptr) << "no main window within 60 s";
    // Designed for 96 dpi at 400 x 152; the form scales itself by the
    // screen's dpi, which the manifest lets it see unstretched.
    const int dpi = ScreenDpi();
    RECT client{};
    ASSERT_TRUE(::GetClientRect(window, &client));
    EXPECT_EQ(client.right, ::MulDiv(400, dpi, 96)) << dpi << " dpi";
    EXPECT_EQ(client.bottom, ::MulDiv(152, dpi, 96)) << dpi << " dpi";
    // The caption says what the program is.
    wchar_t caption[64]{};
    ::GetWindowTextW(window, caption, 64);
    EXPECT_STRNE(caption, L"");

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Wait(60), 0);
}

TEST(ProgramTest, TheEndOfTheSessionIsAgreedToAndEndsTheProgramInOrder) {
    ChildProcess program(BuiltProgram("qmk.exe"), L"");
    ASSERT_TRUE(program.Started());
    HWND window = WaitForWindow(program, true);
    ASSERT_NE(window, nullptr);
    HWND application = WaitForWindow(program, false);
    ASSERT_NE(application, nullptr);
    DWORD_PTR answer = 0;
    ASSERT_NE(::SendMessageTimeoutW(application, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 30000, &answer), 0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    // Still running: agreeing is not ending.
    EXPECT_EQ(program.Wait(1), -1);
    // Windows may end the process as soon as the program has answered, so
    // by then the orderly exit has run: its windows are destroyed.
    ::SendMessageTimeoutW(application, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 30000, &answer);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(::IsWindow(application));
    EXPECT_EQ(program.Wait(60), 0);
}

// Started as the desktop starts programs, with a console of its own if it
// is a console program: qmk.exe is not, so none opens beside its window
// (closing one would end the benchmark past its close path).
TEST(ProgramTest, TheWindowOpensWithoutAConsole) {
    ChildProcess program(BuiltProgram("qmk.exe"), L"", Pipe::None, nullptr, CREATE_NEW_CONSOLE);
    ASSERT_TRUE(program.Started());
    HWND window = WaitForWindow(program, true);
    ASSERT_NE(window, nullptr);
    ::FreeConsole();
    const bool attached = ::AttachConsole(program.Id()) != FALSE;
    HWND console = attached ? ::GetConsoleWindow() : nullptr;
    if (attached) ::FreeConsole();
    EXPECT_FALSE(attached) << "the program has a console, its window " << console;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Wait(60), 0);
}

TEST(ProgramTest, TheSessionGoingOnLeavesTheProgramRunning) {
    ChildProcess program(BuiltProgram("qmk.exe"), L"");
    ASSERT_TRUE(program.Started());
    HWND window = WaitForWindow(program, true);
    HWND application = WaitForWindow(program, false);
    ASSERT_NE(application, nullptr);
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(application, WM_ENDSESSION, FALSE, 0, SMTO_BLOCK, 30000, &answer);
    // A change of the locale settings is read again, not a reason to end.
    ::SendMessageTimeoutW(application, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(L"intl"), SMTO_BLOCK,
                          30000, &answer);
    EXPECT_EQ(program.Wait(1), -1);
    ASSERT_TRUE(::IsWindow(window));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Wait(60), 0);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "label" score " (" percentage "%)": the score as printed, and the whole
// line must be what the runtime makes of that score.
void ExpectResultLine(const std::string& line, const texts::ProgramText& label, std::int32_t reference) {
    const std::string labelUtf8 = Cp932ToUtf8(label.Cp932);
    ASSERT_EQ(line.rfind(labelUtf8, 0), 0u) << line;
    const std::size_t open = line.find(" (");
    ASSERT_NE(open, std::string::npos) << line;
    const std::int32_t score = std::stoi(line.substr(labelUtf8.size(), open - labelUtf8.size()));
    EXPECT_GT(score, 0);
    EXPECT_EQ(line, Cp932ToUtf8(ResultLineText(label.Cp932, score, reference)));
}

TEST(ProgramTest, TheRunnerPrintsTheTwoResultLinesInUtf8) {
    ChildProcess runner(BuiltProgram("qmk-run.exe"), L"", Pipe::Output);
    ASSERT_TRUE(runner.Started());
    const std::vector<std::string> lines = Lines(runner.Output());
    EXPECT_EQ(runner.Wait(120), 0);
    ASSERT_EQ(lines.size(), 2u);
    ExpectResultLine(lines[0], texts::CpuLabel, CpuReferenceScore);
    ExpectResultLine(lines[1], texts::VideoLabel, VideoReferenceScore);
}

// In a console the result lines show as characters, and the console keeps
// its code page: the programs that run in it after the runner (or beside
// it) read and write in that code page.
TEST(ProgramTest, TheRunnerWritesToAConsoleInItsCharactersAndLeavesItsCodePage) {
    OwnConsole console;
    ASSERT_TRUE(console.Ready()) << "no console, error " << ::GetLastError();
    ASSERT_TRUE(::SetConsoleOutputCP(437));
    const SHORT first = console.Cursor().Y;
    ChildProcess runner(BuiltProgram("qmk-run.exe"), L"", Pipe::None, console.Output());
    ASSERT_TRUE(runner.Started());
    EXPECT_EQ(runner.Wait(120), 0);
    EXPECT_EQ(::GetConsoleOutputCP(), 437u);
    const std::wstring cpu = console.Row(first);
    const std::wstring video = console.Row(static_cast<SHORT>(first + 1));
    EXPECT_EQ(cpu.rfind(L"\uff23\uff30\uff35\uff1a", 0), 0u) << "row " << first;
    EXPECT_EQ(video.rfind(L"\u30d3\u30c7\u30aa\uff1a", 0), 0u) << "row " << first + 1;
    EXPECT_NE(cpu.find(L"%)"), std::wstring::npos);
}

// There is no private display server on Windows: the options that would
// shape one are refused with status 2, and the help says where the window
// goes instead.
TEST(ProgramTest, TheRunnerRefusesTheOptionsOfAPrivateServer) {
    for (const wchar_t* arguments : {L"--dpi 120", L"--display-depth 16"}) {
        ChildProcess runner(BuiltProgram("qmk-run.exe"), arguments, Pipe::Output);
        ASSERT_TRUE(runner.Started());
        EXPECT_EQ(runner.Output(), "");
        EXPECT_EQ(runner.Wait(60), 2);
    }
    ChildProcess help(BuiltProgram("qmk-run.exe"), L"--help", Pipe::Output);
    ASSERT_TRUE(help.Started());
    const std::string text = help.Output();
    EXPECT_EQ(help.Wait(60), 0);
    EXPECT_NE(text.find("opens on the desktop"), std::string::npos) << text;
    EXPECT_EQ(text.find("DISPLAY"), std::string::npos) << text;
}

TEST(ProgramTest, TheRunnersJsonNamesTheWindowsItRanOn) {
    ChildProcess runner(BuiltProgram("qmk-run.exe"), L"--runs 3 --json", Pipe::Output);
    ASSERT_TRUE(runner.Started());
    const std::string output = runner.Output();
    EXPECT_EQ(runner.Wait(300), 0);
    // The document itself is checked by a JSON parser outside (the ctest
    // entry Win32RunnerJson); here, what Windows tells about itself.
    EXPECT_NE(output.find("\"vendor\": \"Windows "), std::string::npos) << output;
    EXPECT_NE(output.find(", ANSI code page "), std::string::npos) << output;
    EXPECT_NE(output.find("\"count\": 3"), std::string::npos) << output;
}

std::wstring Wide(std::string_view utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

BOOL CALLBACK CollectText(HWND control, LPARAM parameter) {
    wchar_t text[512]{};
    ::GetWindowTextW(control, text, 512);
    *reinterpret_cast<std::wstring*>(parameter) += text;
    return TRUE;
}

// The application window, which the start makes before the main window.
LRESULT CALLBACK RefuseTheApplicationWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        wchar_t name[32]{};
        ::GetClassNameW(reinterpret_cast<HWND>(wParam), name, 32);
        if (std::wstring(name) == L"QMKWindow" && (create->lpcs->style & WS_MINIMIZEBOX) != 0) return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// qmk.exe started from the desktop has no standard error: a start that
// fails before there is an application window still reaches the user in
// the start-up error box (ownerless, so it needs none).
TEST(ProgramTest, AStartThatFailsWithoutAnApplicationWindowShowsTheErrorBox) {
    const std::wstring caption = Wide(texts::StartupErrorCaption.Utf8);
    std::wstring shown;
    std::atomic<bool> found = false;
    std::thread watcher([&] {
        for (int i = 0; i < 600 && !found; ++i) {
            HWND box = ::FindWindowW(L"#32770", caption.c_str());
            DWORD process = 0;
            if (box != nullptr && ::GetWindowThreadProcessId(box, &process) != 0 &&
                process == ::GetCurrentProcessId()) {
                ::EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&shown));
                found = true;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    int status = 0;
    {
        TProgram program;
        HHOOK hook = ::SetWindowsHookExW(WH_CBT, RefuseTheApplicationWindow, nullptr, ::GetCurrentThreadId());
        EXPECT_NE(hook, nullptr);
        try {
            program.Start();
            ADD_FAILURE() << "the start went through";
        } catch (...) {
            ::UnhookWindowsHookEx(hook);
            hook = nullptr;
            status = program.ReportStartupError(std::current_exception());
        }
        if (hook != nullptr) ::UnhookWindowsHookEx(hook);
    }
    watcher.join();
    EXPECT_EQ(status, 1);
    ASSERT_TRUE(found) << "no start-up error box";
    EXPECT_NE(shown.find(L"EOutOfResources"), std::wstring::npos);
    EXPECT_NE(shown.find(Wide(texts::WindowClassFailed.Utf8)), std::wstring::npos);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
