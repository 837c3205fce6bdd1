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
// Usage: bench_win32_scores [--rounds N] [--program-runs N] [--in-process]
//   --rounds N         rounds of loop and program (3 by default); the order
//                      alternates: odd rounds start with the loop
//   --program-runs N   runs of qmk-run.exe per round (--runs N; 1 by default);
//                      the ratios compare each run with the round's loop
//   --in-process       also the program inside this process (its start, its
//                      window, one click per round), to tell the cost of the
//                      framework from the cost of a process of its own
// Prints each round, then the mean, median, min and max of the ratios.
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/CpuTest.h"
#include "app/QMKForm.h"
#include "app/SecondMeter.h"
#include "app/Startup.h"
#include "platform/Platform.h"
#include "platform/win32/Win32Kernel.h"
#include "runtime/Extended.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"
#include "ui/Button.h"
#include "ui/Memo.h"

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

// One start of qmk-run.exe with --runs N: the scores of its N runs, from
// its result lines (label, score, " (", percentage, "%)"; the score is the
// line's first run of digits).
std::vector<Scores> Program(int runs) {
    std::string path = std::string("Z:") + QMK_BINARY_DIR + "/qmk-run.exe";
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string command = "\"" + path + "\" --runs " + std::to_string(runs);
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
    std::vector<int> found;
    std::size_t at = 0;
    while (found.size() < static_cast<std::size_t>(2 * runs) &&
           (at = output.find_first_of("0123456789", at)) != std::string::npos) {
        found.push_back(std::atoi(output.c_str() + at));
        at = output.find('\n', at);
        if (at == std::string::npos) break;
    }
    if (found.size() < static_cast<std::size_t>(2 * runs)) {
        std::fprintf(stderr, "no scores in the runner's output: %s\n", output.c_str());
        std::exit(1);
    }
    std::vector<Scores> scores;
    for (int run = 0; run < runs; ++run) scores.push_back({found[2 * run], found[2 * run + 1]});
    return scores;
}

// Ratios of one kind over the rounds.
struct Ratios {
    std::vector<double> Values;
    void Add(double value) { Values.push_back(value); }
    double Mean() const {
        double sum = 0;
        for (double v : Values) sum += v;
        return sum / static_cast<double>(Values.size());
    }
    double Min() const { return *std::min_element(Values.begin(), Values.end()); }
    double Max() const { return *std::max_element(Values.begin(), Values.end()); }
    // Robust against the odd round that another process disturbed.
    double Median() const {
        std::vector<double> sorted = Values;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
};

void PrintRatios(const char* what, const Ratios& ratios) {
    std::printf("%-22s mean %.3f  median %.3f  min %.3f  max %.3f  (%zu rounds)\n", what, ratios.Mean(),
                ratios.Median(), ratios.Min(), ratios.Max(), ratios.Values.size());
}

// The program inside this process: started once (TProgram::Start, the
// window shown), then one click on its start button per round, handled as
// the framework handles a click. What it shows beside qmk-run.exe is what
// a process of its own costs the scores.
class InProcessProgram {
public:
    InProcessProgram() {
        program_.Start();
        TQMKForm& form = *program_.Form();
        form.Show();
        program_.Application().ProcessMessages();
    }
    ~InProcessProgram() {
        TQMKForm& form = *program_.Form();
        program_.Application().HandleInFrame([&form] { form.Close(); });
        program_.Run();
    }
    InProcessProgram(const InProcessProgram&) = delete;
    InProcessProgram& operator=(const InProcessProgram&) = delete;

    Scores Click() {
        TApplication& application = program_.Application();
        TQMKForm& form = *program_.Form();
        TButton& button = *form.StartButton;
        application.Send(button, [&button] { button.Click(); });
        application.ProcessMessages();
        TMemoStrings& lines = form.Kekka->Lines();
        return {ScoreAfter(lines.Get(0), texts::CpuLabel.Cp932),
                ScoreAfter(lines.Get(1), texts::VideoLabel.Cp932)};
    }

private:
    static int ScoreAfter(const std::string& line, std::string_view label) {
        if (line.size() <= label.size()) return 0;
        return std::atoi(line.c_str() + label.size());
    }
    TProgram program_{"qmk-run"};
};

LRESULT CALLBACK PlainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3, programRuns = 1;
    bool inProcess = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--in-process") == 0) inProcess = true;
        if (i + 1 >= argc) continue;
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--program-runs") == 0) programRuns = std::max(1, std::atoi(argv[i + 1]));
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

    std::unique_ptr<InProcessProgram> inside;
    if (inProcess) inside = std::make_unique<InProcessProgram>();

    std::printf("round  first    loop cpu  program cpu  ratio   loop video  program video  ratio%s\n",
                inProcess ? "   in-process cpu  ratio  video  ratio" : "");
    Ratios cpu, video, insideCpu, insideVideo;
    std::vector<Ratios> cpuByRun(static_cast<std::size_t>(programRuns)),
        videoByRun(static_cast<std::size_t>(programRuns));
    for (int round = 1; round <= rounds; ++round) {
        // The order alternates, so that neither side always runs on a
        // machine that the other has just warmed or disturbed.
        const bool loopFirst = round % 2 == 1;
        Scores loop, own;
        std::vector<Scores> program;
        const auto runLoop = [&] {
            loop = MinimalLoop(box);
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        };
        if (loopFirst) runLoop();
        if (inside && !loopFirst) own = inside->Click();
        program = Program(programRuns);
        if (inside && loopFirst) own = inside->Click();
        if (!loopFirst) runLoop();
        std::string ownColumns;
        if (inside) {
            const double c = static_cast<double>(own.Cpu) / loop.Cpu;
            const double v = static_cast<double>(own.Video) / loop.Video;
            insideCpu.Add(c);
            insideVideo.Add(v);
            char text[96];
            std::snprintf(text, sizeof text, "   %14d  %5.3f  %5d  %5.3f", own.Cpu, c, own.Video, v);
            ownColumns = text;
        }
        for (int run = 0; run < programRuns; ++run) {
            const Scores& p = program[static_cast<std::size_t>(run)];
            const double c = static_cast<double>(p.Cpu) / loop.Cpu;
            const double v = static_cast<double>(p.Video) / loop.Video;
            cpuByRun[static_cast<std::size_t>(run)].Add(c);
            videoByRun[static_cast<std::size_t>(run)].Add(v);
            if (run == 0) {
                cpu.Add(c);
                video.Add(v);
            }
            std::printf("%5d  %-7s  %8d  %11d  %5.3f   %10d  %13d  %5.3f%s%s\n", round,
                        loopFirst ? "loop" : "program", loop.Cpu, p.Cpu, c, loop.Video, p.Video, v,
                        run == 0 ? ownColumns.c_str() : "",
                        programRuns > 1 ? ("   (run " + std::to_string(run + 1) + ")").c_str() : "");
        }
        std::fflush(stdout);
    }
    std::printf("\nratio program / loop, round by round (the program's first run):\n");
    PrintRatios("CPU", cpu);
    PrintRatios("video", video);
    if (programRuns > 1) {
        for (int run = 0; run < programRuns; ++run) {
            const std::string label = "run " + std::to_string(run + 1);
            PrintRatios((label + " CPU").c_str(), cpuByRun[static_cast<std::size_t>(run)]);
            PrintRatios((label + " video").c_str(), videoByRun[static_cast<std::size_t>(run)]);
        }
    }
    if (inside) {
        PrintRatios("in-process CPU", insideCpu);
        PrintRatios("in-process video", insideVideo);
    }
    inside.reset();
    ::DestroyWindow(box);
    return 0;
}
