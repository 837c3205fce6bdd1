// Where the time of one CPU-test iteration goes on Windows: the same
// iteration timed with one layer of the program added at a time, in one
// process, the variants interleaved block by block so that all of them see
// the same machine load. No profiler is needed (none works under Wine).
//
//   loop      the minimal loop's iteration: SetPixel, GetPixel, SetPixel
//             on a memory context of its own, fixed sizes, MixPass
//   loop-dc   the same calls on the work bitmap's own memory context, as
//             its canvas set it up (its pen selected, its mix mode)
//   queries   the bitmap's size and canvas queries before every pixel
//             call, raw GDI on the canvas's context
//   notify    queries plus the canvas's own steps around each pixel call
//             (change notifications, state test, colour conversion): CpuTest
//             without the seam
//   seam      the calls through the graphics seam (Win32Gdi), sizes from
//             the bitmap, no canvas steps
//   program   CpuTest itself: bitmap, canvas, notifications, seam
//   mix       MixPass alone (the arithmetic of the eight passes)
//   pixels    the 24 pixel calls alone, raw, on the loop's context
//   check     the meter's count-and-check alone
//   loop+chk  loop, then the meter's count and check: a loop iteration as
//             its phase scores it
//   prog+chk  the same for CpuTest: prog+chk / loop+chk is the loop's
//             score over the program's, with the machine's load taken out
//
// Usage: bench_win32_layers [--blocks N] [--iterations N] [--contexts btp]
// Contexts, measured in the order given: b the bare process, t with a
// thread waiting as the runner's watchdog does, p in the started program
// with its window shown (always last).
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/CpuTest.h"
#include "app/QMKForm.h"
#include "app/ResultLines.h"
#include "app/SecondMeter.h"
#include "app/Startup.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/win32/FloatingPoint.h"
#include "platform/win32/Win32Gdi.h"
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

double Now() {
    static const double unit = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * unit;
}

void RawPass(HDC dc, std::int32_t width, std::int32_t height) {
    const auto colour = static_cast<COLORREF>(RandomBelow(0x1000000));
    std::int32_t y = RandomBelow(height);
    std::int32_t x = RandomBelow(width);
    ::SetPixel(dc, x, y, colour);
    y = RandomBelow(height);
    x = RandomBelow(width);
    const COLORREF read = ::GetPixel(dc, x, y);
    y = RandomBelow(height);
    x = RandomBelow(width);
    ::SetPixel(dc, x, y, read);
}

struct Setup {
    HDC LoopDc = nullptr;
    TBitmap* Work = nullptr;
    SecondMeter* Meter = nullptr;
};

using Variant = void (*)(const Setup&, std::int32_t j);

void Loop(const Setup& s, std::int32_t j) {
    for (std::int32_t r = 1; r <= 8; ++r) {
        RawPass(s.LoopDc, BitmapWidth, BitmapHeight);
        MixPass(j, r);
    }
}

void LoopOnCanvasDc(const Setup& s, std::int32_t j) {
    const auto dc = reinterpret_cast<HDC>(s.Work->Canvas().CurrentHandle());
    for (std::int32_t r = 1; r <= 8; ++r) {
        RawPass(dc, BitmapWidth, BitmapHeight);
        MixPass(j, r);
    }
}

void Seam(const Setup& s, std::int32_t j) {
    TBitmap& b = *s.Work;
    platform::Gdi& gdi = platform::GdiApi();
    const platform::DcHandle dc = b.Canvas().CurrentHandle();
    for (std::int32_t r = 1; r <= 8; ++r) {
        const auto colour = static_cast<platform::ColorRef>(RandomBelow(0x1000000));
        std::int32_t y = RandomBelow(b.GetHeight());
        std::int32_t x = RandomBelow(b.GetWidth());
        gdi.SetPixel(dc, x, y, colour);
        y = RandomBelow(b.GetHeight());
        x = RandomBelow(b.GetWidth());
        const platform::ColorRef read = gdi.GetPixel(dc, x, y);
        y = RandomBelow(b.GetHeight());
        x = RandomBelow(b.GetWidth());
        gdi.SetPixel(dc, x, y, read);
        MixPass(j, r);
    }
}

// The bitmap's size and canvas queries before every pixel call, raw GDI
// on the canvas's context.
void Queries(const Setup& s, std::int32_t j) {
    TBitmap& b = *s.Work;
    for (std::int32_t r = 1; r <= 8; ++r) {
        const auto colour = static_cast<COLORREF>(RandomBelow(0x1000000));
        std::int32_t y = RandomBelow(b.GetHeight());
        std::int32_t x = RandomBelow(b.GetWidth());
        ::SetPixel(reinterpret_cast<HDC>(b.Canvas().CurrentHandle()), x, y, colour);
        y = RandomBelow(b.GetHeight());
        x = RandomBelow(b.GetWidth());
        const COLORREF read = ::GetPixel(reinterpret_cast<HDC>(b.Canvas().CurrentHandle()), x, y);
        y = RandomBelow(b.GetHeight());
        x = RandomBelow(b.GetWidth());
        ::SetPixel(reinterpret_cast<HDC>(b.Canvas().CurrentHandle()), x, y, read);
        MixPass(j, r);
    }
}

// As Queries, with the canvas's own steps around each pixel call (change
// notifications, state test, colour conversion), still raw GDI: CpuTest
// without the seam.
void Notifications(const Setup& s, std::int32_t j) {
    TBitmap& b = *s.Work;
    const auto write = [](TBitmapCanvas& canvas, std::int32_t x, std::int32_t y, TColor color) {
        canvas.NotifyChanging();
        canvas.EnsureState(csHandleValid | csPenValid);
        ::SetPixel(reinterpret_cast<HDC>(canvas.CurrentHandle()), x, y, ColorToColorRef(color));
        canvas.NotifyChanged();
    };
    const auto read = [](TBitmapCanvas& canvas, std::int32_t x, std::int32_t y) {
        canvas.EnsureState(csHandleValid);
        return static_cast<TColor>(::GetPixel(reinterpret_cast<HDC>(canvas.CurrentHandle()), x, y));
    };
    for (std::int32_t r = 1; r <= 8; ++r) {
        const TColor colour = RandomBelow(0x1000000);
        std::int32_t y = RandomBelow(b.GetHeight());
        std::int32_t x = RandomBelow(b.GetWidth());
        write(b.Canvas(), x, y, colour);
        y = RandomBelow(b.GetHeight());
        x = RandomBelow(b.GetWidth());
        const TColor colourRead = read(b.Canvas(), x, y);
        y = RandomBelow(b.GetHeight());
        x = RandomBelow(b.GetWidth());
        write(b.Canvas(), x, y, colourRead);
        MixPass(j, r);
    }
}

void Program(const Setup& s, std::int32_t j) { CpuTest(*s.Work, j); }

void MixOnly(const Setup&, std::int32_t j) {
    for (std::int32_t r = 1; r <= 8; ++r) MixPass(j, r);
}

void PixelsOnly(const Setup& s, std::int32_t) {
    for (std::int32_t r = 1; r <= 8; ++r) RawPass(s.LoopDc, BitmapWidth, BitmapHeight);
}

void CheckOnly(const Setup& s, std::int32_t) { s.Meter->CountAndCheck(); }

// Whole iterations as a phase makes them: the work, then the meter's count
// and check (the meter's count is the next iteration's j).
void LoopAndCheck(const Setup& s, std::int32_t) {
    Loop(s, s.Meter->CurrentCount);
    s.Meter->CountAndCheck();
}

void ProgramAndCheck(const Setup& s, std::int32_t) {
    CpuTest(*s.Work, s.Meter->CurrentCount);
    s.Meter->CountAndCheck();
}

struct Named {
    const char* Name;
    Variant Run;
    std::vector<double> Times;  // seconds per iteration, one per block
};

// Every variant, block by block in turn; prints the table.
void MeasureAll(std::vector<Named>& variants, const Setup& setup, int blocks, int iterations,
                const char* context) {
    for (Named& v : variants) v.Times.clear();
    std::int32_t j = 0;
    for (int block = 0; block < blocks; ++block) {
        for (Named& v : variants) {
            const double start = Now();
            for (int i = 0; i < iterations; ++i) {
                v.Run(setup, j);
                j = (j + 1) % 20000;  // the counts of a second, as a run sees them
            }
            v.Times.push_back((Now() - start) / iterations);
        }
    }
    std::printf("\n%s: %d blocks of %d iterations; microseconds per iteration\n", context, blocks,
                iterations);
    std::printf("%-8s %9s %9s %9s   %s\n", "variant", "min", "median", "max", "median / loop median");
    double loopMedian = 0;
    for (Named& v : variants) {
        std::sort(v.Times.begin(), v.Times.end());
        const double median = v.Times[v.Times.size() / 2];
        if (std::strcmp(v.Name, "loop") == 0) loopMedian = median;
        std::printf("%-8s %9.3f %9.3f %9.3f   %.3f\n", v.Name, v.Times.front() * 1e6, median * 1e6,
                    v.Times.back() * 1e6, median / loopMedian);
    }
    std::fflush(stdout);
}

// Whole CPU phases scored as the run scores them (align, then iterations
// with the meter's count and check until 2 seconds are counted).
int LoopPhase(HDC dc) {
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    do {
        const std::int32_t j = meter.CurrentCount;
        for (std::int32_t r = 1; r <= 8; ++r) {
            RawPass(dc, BitmapWidth, BitmapHeight);
            MixPass(j, r);
        }
        meter.CountAndCheck();
    } while (!meter.Finished(CpuPhaseSeconds));
    return meter.Score();
}

int ProgramPhase(TBitmap& work) {
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    do {
        CpuTest(work, meter.CurrentCount);
        meter.CountAndCheck();
    } while (!meter.Finished(CpuPhaseSeconds));
    return meter.Score();
}

// A thread that waits, as the runner's watchdog does.
class Waiter {
public:
    Waiter()
        : thread_([this] {
              std::unique_lock lock(mutex_);
              changed_.wait_for(lock, std::chrono::seconds(600), [this] { return done_; });
          }) {}
    ~Waiter() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    int blocks = 30, iterations = 2000;
    const char* contexts = "btp";
    int phases = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--blocks") == 0) blocks = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--iterations") == 0) iterations = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--contexts") == 0) contexts = argv[i + 1];
        if (std::strcmp(argv[i], "--phases") == 0) phases = std::atoi(argv[i + 1]);
    }
    ::SetProcessDPIAware();
    SetExtendedPrecision();
    platform::win32::Win32Gdi gdi;
    platform::win32::Win32Kernel kernel;
    platform::Install({&gdi, nullptr, &kernel});
    ReadLocaleSettings();
    InitializeGraphics();

    HDC screen = ::GetDC(nullptr);
    HDC loopDc = ::CreateCompatibleDC(screen);
    HBITMAP loopBitmap = ::CreateCompatibleBitmap(screen, BitmapWidth, BitmapHeight);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ previous = ::SelectObject(loopDc, loopBitmap);
    ::PatBlt(loopDc, 0, 0, BitmapWidth, BitmapHeight, WHITENESS);

    SecondMeter meter;
    meter.Align();
    meter.Reset();
    SeedFromClock();
    std::vector<Named> variants{{"loop", Loop, {}},         {"loop-dc", LoopOnCanvasDc, {}},
                                {"queries", Queries, {}},   {"notify", Notifications, {}},
                                {"seam", Seam, {}},         {"program", Program, {}},
                                {"mix", MixOnly, {}},       {"pixels", PixelsOnly, {}},
                                {"check", CheckOnly, {}},   {"loop+chk", LoopAndCheck, {}},
                                {"prog+chk", ProgramAndCheck, {}}};
    {
        TBitmap work;
        work.SetWidth(BitmapWidth);
        work.SetHeight(BitmapHeight);
        // The context the program's first pixel write of a phase makes.
        work.Canvas().EnsureState(csHandleValid | csPenValid);
        const Setup setup{loopDc, &work, &meter};
        // b: the bare process; t: with a waiting thread (as the runner's
        // watchdog); in the order given, so drift of the machine's load
        // shows as a difference between repeats.
        for (const char* c = contexts; *c != '\0'; ++c) {
            if (*c == 'b') MeasureAll(variants, setup, blocks, iterations, "bare process");
            if (*c == 'w') {
                // The program's control word (start-up loads it).
                if (!platform::win32::LoadProgramControlWord()) std::printf("control word not loaded\n");
                MeasureAll(variants, setup, blocks, iterations, "under the program's control word");
            }
            if (*c == 'd') {
                SetExtendedPrecision();
                std::uint16_t word = 0x037F;
                __asm__ volatile("fldcw %0" : : "m"(word));
                MeasureAll(variants, setup, blocks, iterations, "under the default control word");
            }
            if (*c == 't') {
                Waiter waiter;
                MeasureAll(variants, setup, blocks, iterations, "with a waiting thread");
            }
        }
        work.Canvas().ReleaseContext();
    }
    if (std::strchr(contexts, 'p') != nullptr) {
        // The program's own start, its window shown, its WorkBitmap.
        TProgram program("qmk-run");
        program.Start();
        TQMKForm& form = *program.Form();
        form.Show();
        program.Application().ProcessMessages();
        TBitmap& work = *form.WorkBitmap();
        work.Canvas().EnsureState(csHandleValid | csPenValid);
        const Setup setup{loopDc, &work, &meter};
        MeasureAll(variants, setup, blocks, iterations, "program started, window shown");
        work.Canvas().ReleaseContext();
        // Whole phases: the loop's, the program's CpuTest outside a message
        // frame, and inside one after the two ReplaceLine of a run.
        if (phases > 0) {
            // Whole phases: the loop's; CpuTest outside any message frame;
            // CpuTest in a click's frame after the run's two ReplaceLine;
            // CpuTest in a frame without them; CpuTest outside after the two
            // ReplaceLine. The order rotates from phase to phase.
            std::printf("\nCPU phase scores (ratio to the loop): loop, outside, click frame, bare frame, "
                        "after lines\n");
            TApplication& application = program.Application();
            const auto lines = [&form] {
                form.Kekka->Lines().ReplaceLine(CpuLine, texts::CpuLabel.Cp932);
                form.Kekka->Lines().ReplaceLine(VideoLine, texts::VideoLabel.Cp932);
            };
            const auto run = [&](int kind) {
                int score = 0;
                switch (kind) {
                case 0: score = LoopPhase(loopDc); break;
                case 1: score = ProgramPhase(work); break;
                case 2:
                    application.Send(*form.StartButton, [&] {
                        lines();
                        score = ProgramPhase(work);
                    });
                    break;
                case 3: application.Send(*form.StartButton, [&] { score = ProgramPhase(work); }); break;
                case 4:
                    lines();
                    score = ProgramPhase(work);
                    break;
                }
                ReleaseAllMemoryContexts();
                application.ProcessMessages();
                return score;
            };
            constexpr int Kinds = 5;
            std::vector<std::vector<double>> ratios(Kinds);
            for (int i = 0; i < phases; ++i) {
                int scores[Kinds] = {};
                for (int k = 0; k < Kinds; ++k) {
                    const int kind = (i + k) % Kinds;
                    scores[kind] = run(kind);
                }
                std::printf("%8d", scores[0]);
                for (int k = 1; k < Kinds; ++k) {
                    const double ratio = static_cast<double>(scores[k]) / scores[0];
                    ratios[k].push_back(ratio);
                    std::printf("  %8d %.3f", scores[k], ratio);
                }
                std::printf("\n");
                std::fflush(stdout);
            }
            std::printf("median ratio:");
            for (int k = 1; k < Kinds; ++k) {
                std::sort(ratios[k].begin(), ratios[k].end());
                std::printf("  %.3f", ratios[k][ratios[k].size() / 2]);
            }
            std::printf("\n");
        }
        form.Close();
        program.Run();
    }
    ::SelectObject(loopDc, previous);
    ::DeleteObject(loopBitmap);
    ::DeleteDC(loopDc);
    return 0;
}
