#include "platform/win32/Win32RunnerHost.h"

#include <atomic>
#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/win32/Win32Console.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/WinApi.h"

namespace qmk::platform {

std::unique_ptr<RunnerHost> MakeRunnerHost(std::string_view /*programName*/) {
    // Before the first line: usage errors go out through it too.
    InstallTextWriter(&win32::WriteConsoleText);
    return std::make_unique<win32::Win32RunnerHost>();
}

}  // namespace qmk::platform

namespace qmk::platform::win32 {

namespace {

std::atomic<bool> transientLineShown{false};

// Once: the first way out that finds the line takes it.
void EraseTransientLine() {
    if (transientLineShown.exchange(false)) WriteConsoleText(StandardStream::Error, "\r\x1b[K");
}

}  // namespace

class Watchdog {
public:
    Watchdog(int seconds, std::string line) : line_(std::move(line)) {
        thread_ = std::thread([this, seconds] {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::seconds(seconds), [this] { return disarmed_; })) {
                EraseTransientLine();
                WriteConsoleText(StandardStream::Error, line_);
                std::_Exit(1);
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            disarmed_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string line_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool disarmed_ = false;
    std::thread thread_;
};

namespace {

BOOL WINAPI ConsoleControl(DWORD /*event*/) {
    EraseTransientLine();
    std::fflush(stdout);
    std::_Exit(128 + 2);
}

}  // namespace

Win32RunnerHost::Win32RunnerHost() = default;

Win32RunnerHost::~Win32RunnerHost() = default;

std::string Win32RunnerHost::StartPrivateDisplay(int /*depth*/, int /*dpi*/) {
    throw std::runtime_error("Windows has no private display server; the window opens on the desktop");
}

std::string AnsiToUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), needed, nullptr, nullptr);
    return utf8;
}

int ProcessorCount() {
    // A machine with more than 64 processors has them in several groups,
    // and the system's information counts the program's group only. The
    // count over all groups needs Windows 7; before it there is one group.
    using ActiveProcessorCountCall = DWORD(WINAPI*)(WORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto call = kernel != nullptr ? reinterpret_cast<ActiveProcessorCountCall>(reinterpret_cast<void*>(
                                        ::GetProcAddress(kernel, "GetActiveProcessorCount")))
                                  : nullptr;
    if (call != nullptr) {
        const DWORD count = call(ALL_PROCESSOR_GROUPS);
        if (count > 0) return static_cast<int>(count);
    }
    SYSTEM_INFO system{};
    ::GetNativeSystemInfo(&system);
    return static_cast<int>(system.dwNumberOfProcessors);
}

std::string WindowsVersion() {
    // RtlGetVersion tells the truth whatever the program's manifest says.
    using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto call = ntdll != nullptr ? reinterpret_cast<RtlGetVersionCall>(
                                       reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                                 : nullptr;
    if (call == nullptr || call(&info) != 0) return "Windows";
    return "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
           "." + std::to_string(info.dwBuildNumber);
}

DisplayFacts Win32RunnerHost::DescribeDisplay(const std::string& /*display*/) {
    DisplayFacts facts;
    facts.ServerVendor = WindowsVersion() + ", ANSI code page " + std::to_string(::GetACP());
    HDC screen = ::GetDC(nullptr);
    if (screen != nullptr) {
        facts.Depth = ::GetDeviceCaps(screen, BITSPIXEL) * ::GetDeviceCaps(screen, PLANES);
        facts.VisualClass = (::GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0 ? "PseudoColor"
                                                                                      : "TrueColor";
        facts.ScreenWidth = ::GetDeviceCaps(screen, HORZRES);
        facts.ScreenHeight = ::GetDeviceCaps(screen, VERTRES);
        ::ReleaseDC(nullptr, screen);
    }
    return facts;
}

MachineFacts Win32RunnerHost::DescribeMachine() {
    MachineFacts facts;
    wchar_t name[256];
    DWORD bytes = sizeof name;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                       L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, name, &bytes) == ERROR_SUCCESS) {
        const int length = static_cast<int>(bytes / sizeof(wchar_t)) - 1;
        // The JSON record is UTF-8.
        const int needed = ::WideCharToMultiByte(CP_UTF8, 0, name, length, nullptr, 0, nullptr, nullptr);
        if (needed > 0) {
            std::string text(static_cast<std::size_t>(needed), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, name, length, text.data(), needed, nullptr, nullptr);
            while (!text.empty() && text.back() == ' ') text.pop_back();
            facts.Processor = text;
        }
    }
    facts.Processors = ProcessorCount();
    return facts;
}

std::string Win32RunnerHost::LocaleName() {
    const char* name = std::setlocale(LC_ALL, nullptr);
    return name != nullptr ? AnsiToUtf8(name) : std::string();
}

void Win32RunnerHost::EndOnRequest() { ::SetConsoleCtrlHandler(ConsoleControl, TRUE); }

void Win32RunnerHost::ArmWatchdog(int seconds, const std::string& line) {
    watchdog_.reset();
    if (seconds > 0) watchdog_ = std::make_unique<Watchdog>(seconds, line);
}

void Win32RunnerHost::DisarmWatchdog() { watchdog_.reset(); }

std::string Win32RunnerHost::HostName() {
    wchar_t name[256];
    DWORD length = static_cast<DWORD>(std::size(name));
    if (!::GetComputerNameExW(ComputerNamePhysicalDnsHostname, name, &length) || length == 0) return "";
    const int count = static_cast<int>(length);
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, name, count, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return "";
    std::string text(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, name, count, text.data(), needed, nullptr, nullptr);
    return text;
}

std::optional<int> Win32RunnerHost::ErrorTerminalColumns() {
    // No progress line here yet: a console that takes virtual terminal
    // processing may still show "\x1b[K" as text (Wine's does), which
    // would leave the line in front of the results.
    return std::nullopt;
}

void Win32RunnerHost::SetTransientLineShown(bool shown) { transientLineShown.store(shown); }

}  // namespace qmk::platform::win32
