// The two scores on X11, as the program makes them and as a minimal loop
// makes them, in one session, alternating round by round so both see the
// same machine load.
//
// The program: the desktop program's start (TProgram::Start: the POSIX
// kernel, the locale settings, the X11 backends, the main window with its
// WorkBitmap), the window shown, and a click on the start button handled
// as the framework handles it (StartButtonClick inside the message frame).
// The minimal loop: the same pixel accesses and Xlib requests written out
// directly, on a connection of its own, into the same panel window: where
// the connection allows shared pixmaps (as the backend decides), a pixel
// write or read is a store or load in the shared segment; elsewhere
// XSetForeground + XDrawPoint per write and a 1 × 1 XGetImage per read; one
// XCopyArea per copy. Then the same generator draws, the same pass
// arithmetic (MixPass), and the same clock and text work per iteration
// (ReadClock, two TimeText, one comparison), with nothing of the drawing
// layer or the framework.
//
// Usage: bench_x11_scores [--rounds N] [--current-display] [--depth D]
// Without --current-display a private Xvfb is started (1024 × 768, depth D,
// 24 by default).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The program's layers before any X header: Xlib's macros clash with names
// of the window seam.
#include "app/CpuTest.h"
#include "app/QMKForm.h"
#include "app/ResultLines.h"
#include "app/SecondMeter.h"
#include "app/Startup.h"
#include "graphics/Bitmap.h"
#include "platform/Platform.h"
#include "platform/x11/XvfbServer.h"
#include "runtime/Clock.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "runtime/ProgramTexts.h"
#include "runtime/Text.h"
#include "runtime/TimeText.h"
#include "ui/Application.h"

#include "platform/x11/X11Display.h"
#include "platform/x11/X11SharedPixmap.h"

namespace {

using namespace qmk;
using namespace std::chrono_literals;

struct Scores {
    std::int32_t Cpu = 0;
    std::int32_t Video = 0;
};

// The number after the label of a result line.
std::int32_t ScoreOf(const std::string& line, std::size_t labelSize) {
    return static_cast<std::int32_t>(std::strtol(line.c_str() + labelSize, nullptr, 10));
}

// The meter written out: the same per-iteration work as SecondMeter.
class BareMeter {
public:
    void Align() {
        useDefault_ = !PatternShowsSeconds(TimePatternLong);
        last_ = ReadClock();
        TimeValue now;
        do {
            now = ReadClock();
        } while (!NewSecond(now));
        last_ = now;
        seconds_ = count_ = best_ = total_ = 0;
    }
    std::int32_t Count() const { return count_; }
    bool CountAndCheck(std::int32_t phaseSeconds) {
        ++count_;
        const TimeValue now = ReadClock();
        if (NewSecond(now)) {
            ++seconds_;
            last_ = now;
            best_ = std::max(best_, count_);
            total_ += count_;
            count_ = 0;
        }
        return seconds_ >= phaseSeconds;
    }
    std::int32_t Score() const { return (total_ / seconds_ + best_) / 2; }

private:
    Text TextOf(TimeValue value) const {
        return useDefault_ ? ExpandPattern(DefaultTimePattern, value) : TimeText(value);
    }
    bool NewSecond(TimeValue now) {
        lastText_ = TextOf(last_);
        nowText_ = TextOf(now);
        return !(lastText_ == nowText_);
    }

    bool useDefault_ = false;
    TimeValue last_ = 0;
    std::int32_t seconds_ = 0, count_ = 0, best_ = 0, total_ = 0;
    Text lastText_, nowText_;
};

class MinimalLoop {
public:
    MinimalLoop(platform::x11::X11Display& display, Window panel, int width, int height)
        : display_(display), dpy_(display.Dpy()), panel_(panel), width_(width), height_(height) {
        if (platform::x11::SharedPixmapsPossible(dpy_, display.VisualOf(), display.Depth())) {
            shared_ = platform::x11::SharedPixmap::Create(dpy_, display.Root(), display.VisualOf(),
                                                          display.Depth(), width_ * 2, height_ * 2);
        }
        if (shared_) {
            pixmap_ = shared_->Id();
            data_ = shared_->Data();
            bytesPerLine_ = shared_->BytesPerLine();
            wide_ = shared_->BytesPerPixel() == 4;
            depthMask_ = display.Depth() >= 32 ? 0xFFFFFFFFu : (1u << display.Depth()) - 1u;
        } else {
            pixmap_ = XCreatePixmap(dpy_, panel_, static_cast<unsigned>(width_ * 2),
                                    static_cast<unsigned>(height_ * 2),
                                    static_cast<unsigned>(display.Depth()));
        }
        // As the backend makes its contexts: a copy queues no NoExpose event.
        XGCValues values;
        values.graphics_exposures = False;
        pixmapGc_ = XCreateGC(dpy_, pixmap_, GCGraphicsExposures, &values);
        XSetForeground(dpy_, pixmapGc_, display.PixelFromColorRef(0x00FFFFFF));
        XFillRectangle(dpy_, pixmap_, pixmapGc_, 0, 0, static_cast<unsigned>(width_ * 2),
                       static_cast<unsigned>(height_ * 2));
        windowGc_ = XCreateGC(dpy_, panel_, GCGraphicsExposures, &values);
        XRectangle clip{1, 1, static_cast<unsigned short>(width_), static_cast<unsigned short>(height_)};
        XSetClipRectangles(dpy_, windowGc_, 0, 0, &clip, 1, YXBanded);
        XSync(dpy_, False);
    }
    ~MinimalLoop() {
        XFreeGC(dpy_, windowGc_);
        XFreeGC(dpy_, pixmapGc_);
        if (shared_) shared_.reset();
        else XFreePixmap(dpy_, pixmap_);
        XSync(dpy_, False);
    }

    const char* PixelAccess() const { return shared_ ? "shared-memory" : "protocol"; }

    Scores Run() {
        Scores scores;
        // The last round's copies out of the bitmap are done before its
        // pixels change in place.
        XSync(dpy_, False);
        SeedFromClock();
        BareMeter meter;
        meter.Align();
        do {
            CpuIteration(meter.Count());
        } while (!meter.CountAndCheck(CpuPhaseSeconds));
        scores.Cpu = meter.Score();
        XFlush(dpy_);  // where the program writes its CPU line

        meter.Align();
        do {
            VideoIteration();
        } while (!meter.CountAndCheck(VideoPhaseSeconds));
        scores.Video = meter.Score();
        XFlush(dpy_);
        return scores;
    }

private:
    void CpuIteration(std::int32_t j) {
        if (shared_) {
            CpuIterationInPlace(j);
            return;
        }
        const int bitmapWidth = width_ * 2, bitmapHeight = height_ * 2;
        for (std::int32_t r = 1; r <= 8; ++r) {
            const std::int32_t colour = RandomBelow(0x1000000);
            std::int32_t y = RandomBelow(bitmapHeight);
            std::int32_t x = RandomBelow(bitmapWidth);
            XSetForeground(dpy_, pixmapGc_, display_.PixelFromColorRef(static_cast<platform::ColorRef>(colour)));
            XDrawPoint(dpy_, pixmap_, pixmapGc_, x, y);

            y = RandomBelow(bitmapHeight);
            x = RandomBelow(bitmapWidth);
            XImage* image = XGetImage(dpy_, pixmap_, x, y, 1, 1, AllPlanes, ZPixmap);
            const unsigned long pixel = XGetPixel(image, 0, 0);
            XDestroyImage(image);
            y = RandomBelow(bitmapHeight);
            x = RandomBelow(bitmapWidth);
            XSetForeground(dpy_, pixmapGc_, pixel);
            XDrawPoint(dpy_, pixmap_, pixmapGc_, x, y);

            MixPass(j, r);
        }
    }
    // The white fill of the constructor is in the segment before the first
    // access: it ended with a round trip.
    void Store(std::int32_t x, std::int32_t y, unsigned long pixel) {
        unsigned char* at = data_ + static_cast<std::ptrdiff_t>(y) * bytesPerLine_;
        if (wide_) {
            const auto value = static_cast<std::uint32_t>(pixel);
            std::memcpy(at + x * 4, &value, 4);
        } else {
            const auto value = static_cast<std::uint16_t>(pixel);
            std::memcpy(at + x * 2, &value, 2);
        }
    }
    unsigned long Load(std::int32_t x, std::int32_t y) const {
        const unsigned char* at = data_ + static_cast<std::ptrdiff_t>(y) * bytesPerLine_;
        if (wide_) {
            std::uint32_t value;
            std::memcpy(&value, at + x * 4, 4);
            return value & depthMask_;
        }
        std::uint16_t value;
        std::memcpy(&value, at + x * 2, 2);
        return value & depthMask_;
    }
    void CpuIterationInPlace(std::int32_t j) {
        const int bitmapWidth = width_ * 2, bitmapHeight = height_ * 2;
        for (std::int32_t r = 1; r <= 8; ++r) {
            const std::int32_t colour = RandomBelow(0x1000000);
            std::int32_t y = RandomBelow(bitmapHeight);
            std::int32_t x = RandomBelow(bitmapWidth);
            Store(x, y, display_.PixelFromColorRef(static_cast<platform::ColorRef>(colour)));
            y = RandomBelow(bitmapHeight);
            x = RandomBelow(bitmapWidth);
            const unsigned long pixel = Load(x, y);
            y = RandomBelow(bitmapHeight);
            x = RandomBelow(bitmapWidth);
            Store(x, y, pixel);
            MixPass(j, r);
        }
    }

    void VideoIteration() {
        const std::int32_t y = RandomBelow(height_);
        const std::int32_t x = RandomBelow(width_);
        XCopyArea(dpy_, pixmap_, panel_, windowGc_, 0, 0, static_cast<unsigned>(width_ * 2),
                  static_cast<unsigned>(height_ * 2), x + 1, y + 1);
    }

    platform::x11::X11Display& display_;
    Display* dpy_;
    Window panel_;
    int width_, height_;
    Pixmap pixmap_ = 0;
    std::unique_ptr<platform::x11::SharedPixmap> shared_;
    unsigned char* data_ = nullptr;
    int bytesPerLine_ = 0;
    bool wide_ = false;  // 32 bits per pixel, else 16
    std::uint32_t depthMask_ = 0;
    GC pixmapGc_ = nullptr;
    GC windowGc_ = nullptr;
};

std::int32_t Median(std::vector<std::int32_t> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Main(int argc, char** argv) {
    int rounds = 3;
    bool currentDisplay = false;
    platform::x11::XvfbServer::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--current-display") {
            currentDisplay = true;
        } else if (arg == "--depth" && i + 1 < argc) {
            options.Depth = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--rounds N] [--current-display] [--depth D]\n", argv[0]);
            return 2;
        }
    }
    std::unique_ptr<platform::x11::XvfbServer> server;
    if (!currentDisplay) {
        server = std::make_unique<platform::x11::XvfbServer>(options);
        setenv("DISPLAY", server->DisplayName().c_str(), 1);
    }

    TProgram desktop;
    desktop.Start();
    TApplication& application = desktop.Application();
    TQMKForm& form = *desktop.Form();
    platform::x11::X11Display display;  // the minimal loop's own connection

    Scores program, minimal;
    std::vector<std::int32_t> programCpu, programVideo, minimalCpu, minimalVideo;
    {
        form.Show();
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (!form.Active() && std::chrono::steady_clock::now() < end) application.ProcessMessages();
        application.ProcessMessages();
        MinimalLoop loop(display, static_cast<Window>(form.Panel1->Handle()), form.PaintBox1->Width(),
                         form.PaintBox1->Height());

        std::printf("display %s, depth %d, time pattern \"%s\", pixels: program %s, minimal loop %s\n",
                    DisplayString(display.Dpy()), display.Depth(), TimePatternLong.c_str(),
                    platform::PixelAccessName(platform::GdiApi().PixelAccessOf(form.WorkBitmap()->Image().Handle)),
                    loop.PixelAccess());
        for (int round = 1; round <= rounds; ++round) {
            // The minimal loop first in odd rounds, the program first in
            // even ones, so neither always runs on a warmer server.
            for (int half = 0; half < 2; ++half) {
                if ((half == 0) == (round % 2 == 1)) {
                    minimal = loop.Run();
                    minimalCpu.push_back(minimal.Cpu);
                    minimalVideo.push_back(minimal.Video);
                } else {
                    application.HandleInFrame([&] { form.StartButtonClick(*form.StartButton); });
                    const TMemoStrings& lines = form.Kekka->Lines();
                    program.Cpu = ScoreOf(lines.Get(CpuLine), texts::CpuLabel.Cp932.size());
                    program.Video = ScoreOf(lines.Get(VideoLine), texts::VideoLabel.Cp932.size());
                    programCpu.push_back(program.Cpu);
                    programVideo.push_back(program.Video);
                }
                application.ProcessMessages();
            }
            std::printf("round %d: program CPU %d video %d | minimal CPU %d video %d\n", round,
                        program.Cpu, program.Video, minimal.Cpu, minimal.Video);
            std::fflush(stdout);
        }
    }
    const std::int32_t pc = Median(programCpu), pv = Median(programVideo);
    const std::int32_t mc = Median(minimalCpu), mv = Median(minimalVideo);
    std::printf("median:  program CPU %d video %d | minimal CPU %d video %d\n", pc, pv, mc, mv);
    std::printf("program / minimal: CPU %.1f%%, video %.1f%%\n", 100.0 * pc / std::max(mc, 1),
                100.0 * pv / std::max(mv, 1));
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return Main(argc, argv); }
