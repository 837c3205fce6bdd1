// The two scores on Windows as qmk-run.exe makes them and as a minimal
// Win32 loop makes them, round by round in one session, so that both see
// the same machine load.
//
// The minimal loop: no drawing layer and no framework, the same GDI calls
// per iteration as the two tests: for the CPU test eight times SetPixel,
// GetPixel, SetPixel on a memory context holding a screen-compatible
// bitmap of the work bitmap's size (174 x 190 at 96 dpi) plus the pass
// arithmetic (MixPass); for the video test what the drawing layer asks of
// GDI to draw the bitmap into a window of the paint box's size (87 x 95):
// SetBkColor, SetTextColor, SetStretchBltMode, GetDeviceCaps(RASTERCAPS)
// and one StretchBlt at the bitmap's own size.
// The same generator draws, the same clock and meter (SecondMeter), the
// same phase lengths.
//
// Usage: bench_win32_scores [--rounds N]   (3 rounds by default)
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CpuTest.h"
#include "app/SecondMeter.h"
#include "platform/Platform.h"
#include "platform/win32/Win32Kernel.h"
#include "runtime/Extended.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"

namespace {

using namespace qmk;

constexpr int BitmapWidth = 174, BitmapHeight = 190;
constexpr int BoxWidth = 87, BoxHeight = 95;

struct Scores {
    int Cpu = 0;
    int Video = 0;
};

Scores MinimalLoop(HWND box) {
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, BitmapWidth, BitmapHeight);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::PatBlt(memory, 0, 0, BitmapWidth, BitmapHeight, WHITENESS);
    SeedFromClock();

    Scores scores;
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    do {
        const std::int32_t j = meter.CurrentCount;
        for (std::int32_t r = 1; r <= 8; ++r) {
            const auto colour = static_cast<COLORREF>(RandomBelow(0x1000000));
            std::int32_t y = RandomBelow(BitmapHeight);
            std::int32_t x = RandomBelow(BitmapWidth);
            ::SetPixel(memory, x, y, colour);
            y = RandomBelow(BitmapHeight);
            x = RandomBelow(BitmapWidth);
            const COLORREF read = ::GetPixel(memory, x, y);
            y = RandomBelow(BitmapHeight);
            x = RandomBelow(BitmapWidth);
            ::SetPixel(memory, x, y, read);
            MixPass(j, r);
        }
        meter.CountAndCheck();
    } while (!meter.Finished(CpuPhaseSeconds));
    scores.Cpu = meter.Score();

    HDC window = ::GetDC(box);
    meter.Align();
    meter.Reset();
    do {
        const std::int32_t y = RandomBelow(BoxHeight);
        const std::int32_t x = RandomBelow(BoxWidth);
        ::SetBkColor(window, RGB(0xC0, 0xC0, 0xC0));
        ::SetTextColor(window, RGB(0, 0, 0));
        ::SetStretchBltMode(window, COLORONCOLOR);
        ::GetDeviceCaps(window, RASTERCAPS);
        ::StretchBlt(window, x, y, BitmapWidth, BitmapHeight, memory, 0, 0, BitmapWidth, BitmapHeight, SRCCOPY);
        meter.CountAndCheck();
    } while (!meter.Finished(VideoPhaseSeconds));
    scores.Video = meter.Score();
    ::ReleaseDC(box, window);

    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    return scores;
}

// One run of qmk-run.exe; its two scores from its result lines.
Scores Program() {
    std::string path = std::string("Z:") + QMK_BINARY_DIR + "/qmk-run.exe";
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string command = "\"" + path + "\"";
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    ::CreatePipe(&read, &write, &inherit, 0);
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s\n", path.c_str());
        std::exit(1);
    }
    ::CloseHandle(write);
    std::string output;
    char buffer[1024];
    DWORD got = 0;
    while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    ::WaitForSingleObject(info.hProcess, INFINITE);
    ::CloseHandle(info.hProcess);
    ::CloseHandle(info.hThread);
    ::CloseHandle(read);
    // Each line: label, score, " (", percentage, "%)"; the score is the
    // first run of digits.
    std::vector<int> found;
    std::size_t at = 0;
    while ((at = output.find_first_of("0123456789", at)) != std::string::npos && found.size() < 4) {
        found.push_back(std::atoi(output.c_str() + at));
        at = output.find('\n', at);
        if (at == std::string::npos) break;
    }
    if (found.size() < 2) {
        std::fprintf(stderr, "no scores in the runner's output: %s\n", output.c_str());
        std::exit(1);
    }
    return {found[0], found[1]};
}

LRESULT CALLBACK PlainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    ::SetProcessDPIAware();
    SetExtendedPrecision();
    platform::win32::Win32Kernel kernel;
    platform::Install({nullptr, nullptr, &kernel});
    ReadLocaleSettings();

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainWindow;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QMKBenchLoop";
    ::RegisterClassW(&windowClass);
    HWND box = ::CreateWindowExW(0, L"QMKBenchLoop", L"loop", WS_POPUP | WS_VISIBLE, 0, 0, BoxWidth, BoxHeight,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);

    std::printf("round  loop cpu  program cpu  ratio   loop video  program video  ratio\n");
    double cpuRatios = 0, videoRatios = 0;
    for (int round = 1; round <= rounds; ++round) {
        const Scores loop = MinimalLoop(box);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        const Scores program = Program();
        const double cpu = static_cast<double>(program.Cpu) / loop.Cpu;
        const double video = static_cast<double>(program.Video) / loop.Video;
        cpuRatios += cpu;
        videoRatios += video;
        std::printf("%5d  %8d  %11d  %5.3f   %10d  %13d  %5.3f\n", round, loop.Cpu, program.Cpu, cpu, loop.Video,
                    program.Video, video);
        std::fflush(stdout);
    }
    std::printf("mean ratio (program / loop): CPU %.3f, video %.3f\n", cpuRatios / rounds, videoRatios / rounds);
    ::DestroyWindow(box);
    return 0;
}
