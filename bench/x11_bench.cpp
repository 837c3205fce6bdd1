// Steady-state cost of the measured operations on the X11 backend, next to
// a loop of the bare operations they stand for: a pixel write and read in
// place in a shared pixmap (a store and a load in the segment, as the
// backend makes them on a local display), the same by request
// (XSetForeground + XDrawPoint, a 1 x 1 XGetImage: the backend's way on a
// display that cannot share memory), and a same-size copy (XCopyArea) into
// the paint box's panel window; and the same operations through the
// drawing layer (TCanvas::WritePixel, ReadPixel, DrawGraphic). Each
// benchmark iteration is a batch ended by XSync, so the server's share of
// the work is counted too. Runs on a private Xvfb. The paired benchmarks
// hold the backend against the bare way it takes itself.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// The drawing layer before any X header: Xlib's macros clash with names of
// the window seam.
#include "graphics/Graphics.h"
#include "platform/Platform.h"

#include "platform/x11/XvfbServer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11SharedPixmap.h"
#include "support/FakePanel.h"

namespace {

using namespace qmk;
using namespace qmk::platform;
using namespace qmk::platform::x11;

constexpr int BitmapWidth = 174, BitmapHeight = 190;  // twice the paint box
constexpr int PixelBatch = 1024, ReadBatch = 256, CopyBatch = 64;
constexpr std::size_t InputCount = 4096;

// One server, connection, backend and set of drawables for the whole run.
struct Environment {
    Environment()
        : server(XvfbServer::Options{}),
          display(server.DisplayName().c_str()),
          gdi(display),
          backend({&gdi, nullptr, nullptr}) {
        Display* dpy = display.Dpy();
        top = XCreateSimpleWindow(dpy, display.Root(), 0, 0, 400, 152, 0, 0,
                                  display.PixelFromColorRef(0x00C0C0C0));
        panel = XCreateSimpleWindow(dpy, top, 304, 48, 89, 97, 0, 0,
                                    display.PixelFromColorRef(0x00C0C0C0));
        XMapWindow(dpy, panel);
        XMapWindow(dpy, top);
        XSync(dpy, False);

        // The backend's own contexts, set up as the drawing layer leaves them.
        const DcHandle screen = gdi.GetDC(0);
        memoryDc = gdi.CreateCompatibleDC(screen);
        bitmap = gdi.CreateCompatibleBitmap(screen, BitmapWidth, BitmapHeight);
        gdi.ReleaseDC(0, screen);
        oldBitmap = gdi.SelectObject(memoryDc, bitmap);
        gdi.PatBlt(memoryDc, 0, 0, BitmapWidth, BitmapHeight, rop::Whiteness);
        windowDc = gdi.GetDC(panel);
        gdi.SetViewportOrgEx(windowDc, 1, 1, nullptr);
        gdi.IntersectClipRect(windowDc, 0, 0, 87, 95);

        // The bare Xlib side: its own pixmap and GCs, graphics exposures off.
        XGCValues values;
        values.graphics_exposures = False;
        pixmap = XCreatePixmap(dpy, display.Root(), BitmapWidth, BitmapHeight,
                               static_cast<unsigned>(display.Depth()));
        pixmapGc = XCreateGC(dpy, pixmap, GCGraphicsExposures, &values);
        windowGc = XCreateGC(dpy, panel, GCGraphicsExposures, &values);
        XRectangle clip{1, 1, 87, 95};
        XSetClipRectangles(dpy, windowGc, 0, 0, &clip, 1, YXBanded);
        if (SharedPixmapsPossible(dpy, display.VisualOf(), display.Depth()))
            shared = SharedPixmap::Create(dpy, display.Root(), display.VisualOf(), display.Depth(),
                                          BitmapWidth, BitmapHeight);

        // The same pseudo-random inputs for both sides.
        std::uint32_t state = 12345;
        auto next = [&state](std::uint32_t range) {
            state = state * 134775813u + 1u;
            return static_cast<std::int32_t>((static_cast<std::uint64_t>(state) * range) >> 32);
        };
        for (std::size_t i = 0; i < InputCount; ++i) {
            X.push_back(next(BitmapWidth));
            Y.push_back(next(BitmapHeight));
            const ColorRef color = static_cast<ColorRef>(next(0x01000000));
            Colors.push_back(color);
            Pixels.push_back(display.PixelFromColorRef(color));
            CopyX.push_back(next(175) - 87);
            CopyY.push_back(next(191) - 95);
        }

        InitializeGraphics();
        work.SetWidth(BitmapWidth);
        work.SetHeight(BitmapHeight);
        panelControl = std::make_unique<test::FakePanel>(panel);
        paintBox = std::make_unique<test::FakePaintBox>(panelControl.get());
        paintBoxCanvas.SetControl(paintBox.get());
        paintBoxCanvas.Brush().SetColor(clMaroon);
    }

    XvfbServer server;
    X11Display display;
    X11Gdi gdi;
    ScopedBackend backend;
    Window top = 0, panel = 0;
    DcHandle memoryDc = 0, windowDc = 0;
    ObjectHandle bitmap = 0, oldBitmap = 0;
    Pixmap pixmap = 0;
    std::unique_ptr<SharedPixmap> shared;  // the bare in-place side, where it can be had
    GC pixmapGc = nullptr, windowGc = nullptr;
    std::vector<std::int32_t> X, Y, CopyX, CopyY;
    std::vector<ColorRef> Colors;
    std::vector<unsigned long> Pixels;
    TBitmap work;
    std::unique_ptr<test::FakePanel> panelControl;
    std::unique_ptr<test::FakePaintBox> paintBox;
    TControlCanvas paintBoxCanvas;
};

Environment& Env() {
    static Environment* environment = new Environment;  // lives to process exit
    return *environment;
}

// --- pixel write -----------------------------------------------------------

void BM_WritePixel_Xlib(benchmark::State& state) {
    Environment& e = Env();
    Display* dpy = e.display.Dpy();
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < PixelBatch; ++n, i = (i + 1) % InputCount) {
            XSetForeground(dpy, e.pixmapGc, e.Pixels[i]);
            XDrawPoint(dpy, e.pixmap, e.pixmapGc, e.X[i], e.Y[i]);
        }
        XSync(dpy, False);
    }
    state.SetItemsProcessed(state.iterations() * PixelBatch);
}

void BM_WritePixel_X11Gdi(benchmark::State& state) {
    Environment& e = Env();
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < PixelBatch; ++n, i = (i + 1) % InputCount)
            e.gdi.SetPixel(e.memoryDc, e.X[i], e.Y[i], e.Colors[i]);
        XSync(e.display.Dpy(), False);
    }
    state.SetItemsProcessed(state.iterations() * PixelBatch);
}

void BM_WritePixel_TCanvas(benchmark::State& state) {
    Environment& e = Env();
    TCanvas& canvas = e.work.Canvas();
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < PixelBatch; ++n, i = (i + 1) % InputCount)
            canvas.WritePixel(e.X[i], e.Y[i], static_cast<TColor>(e.Colors[i]));
        XSync(e.display.Dpy(), False);
    }
    state.SetItemsProcessed(state.iterations() * PixelBatch);
}

// A store and a load of a pixel value in a shared segment of 32 bits per
// pixel (the private server's depth 24).
void Store(const SharedPixmap& shared, std::int32_t x, std::int32_t y, unsigned long pixel) {
    const auto value = static_cast<std::uint32_t>(pixel);
    std::memcpy(shared.Data() + static_cast<std::ptrdiff_t>(y) * shared.BytesPerLine() + x * 4, &value, 4);
}
std::uint32_t Load(const SharedPixmap& shared, std::int32_t x, std::int32_t y) {
    std::uint32_t value;
    std::memcpy(&value, shared.Data() + static_cast<std::ptrdiff_t>(y) * shared.BytesPerLine() + x * 4, 4);
    return value & 0x00FFFFFFu;
}

void BM_WritePixel_InPlace(benchmark::State& state) {
    Environment& e = Env();
    if (!e.shared) return state.SkipWithError("no shared pixmap on this server");
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < PixelBatch; ++n, i = (i + 1) % InputCount) Store(*e.shared, e.X[i], e.Y[i], e.Pixels[i]);
        XSync(e.display.Dpy(), False);
    }
    state.SetItemsProcessed(state.iterations() * PixelBatch);
}

// --- pixel read ------------------------------------------------------------

void BM_ReadPixel_InPlace(benchmark::State& state) {
    Environment& e = Env();
    if (!e.shared) return state.SkipWithError("no shared pixmap on this server");
    std::size_t i = 0;
    std::uint32_t sink = 0;
    for (auto _ : state) {
        for (int n = 0; n < ReadBatch; ++n, i = (i + 1) % InputCount) sink ^= Load(*e.shared, e.X[i], e.Y[i]);
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * ReadBatch);
}

void BM_ReadPixel_Xlib(benchmark::State& state) {
    Environment& e = Env();
    Display* dpy = e.display.Dpy();
    std::size_t i = 0;
    unsigned long sink = 0;
    for (auto _ : state) {
        for (int n = 0; n < ReadBatch; ++n, i = (i + 1) % InputCount) {
            XImage* image = XGetImage(dpy, e.pixmap, e.X[i], e.Y[i], 1, 1, AllPlanes, ZPixmap);
            sink ^= XGetPixel(image, 0, 0);
            XDestroyImage(image);
        }
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * ReadBatch);
}

void BM_ReadPixel_X11Gdi(benchmark::State& state) {
    Environment& e = Env();
    std::size_t i = 0;
    ColorRef sink = 0;
    for (auto _ : state) {
        for (int n = 0; n < ReadBatch; ++n, i = (i + 1) % InputCount)
            sink ^= e.gdi.GetPixel(e.memoryDc, e.X[i], e.Y[i]);
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * ReadBatch);
}

void BM_ReadPixel_TCanvas(benchmark::State& state) {
    Environment& e = Env();
    TCanvas& canvas = e.work.Canvas();
    std::size_t i = 0;
    TColor sink = 0;
    for (auto _ : state) {
        for (int n = 0; n < ReadBatch; ++n, i = (i + 1) % InputCount)
            sink ^= canvas.ReadPixel(e.X[i], e.Y[i]);
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * ReadBatch);
}

// --- same-size copy into the paint box -------------------------------------

void BM_Copy_Xlib(benchmark::State& state) {
    Environment& e = Env();
    Display* dpy = e.display.Dpy();
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < CopyBatch; ++n, i = (i + 1) % InputCount)
            XCopyArea(dpy, e.pixmap, e.panel, e.windowGc, 0, 0, BitmapWidth, BitmapHeight,
                      e.CopyX[i] + 1, e.CopyY[i] + 1);
        XSync(dpy, False);
    }
    state.SetItemsProcessed(state.iterations() * CopyBatch);
}

void BM_Copy_X11Gdi(benchmark::State& state) {
    Environment& e = Env();
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < CopyBatch; ++n, i = (i + 1) % InputCount)
            e.gdi.StretchBlt(e.windowDc, e.CopyX[i], e.CopyY[i], BitmapWidth, BitmapHeight,
                             e.memoryDc, 0, 0, BitmapWidth, BitmapHeight, rop::SrcCopy);
        XSync(e.display.Dpy(), False);
    }
    state.SetItemsProcessed(state.iterations() * CopyBatch);
}

void BM_DrawGraphic_TCanvas(benchmark::State& state) {
    Environment& e = Env();
    e.work.Canvas().WritePixel(0, 0, clWhite);  // the CPU test made the source canvas
    std::size_t i = 0;
    for (auto _ : state) {
        for (int n = 0; n < CopyBatch; ++n, i = (i + 1) % InputCount)
            e.paintBoxCanvas.DrawGraphic(e.CopyX[i], e.CopyY[i], &e.work);
        XSync(e.display.Dpy(), False);
    }
    state.SetItemsProcessed(state.iterations() * CopyBatch);
}

// --- paired: bare Xlib and X11Gdi batches alternated in one loop ---------
//
// On a shared machine separate benchmarks drift apart with the load; timing
// the two sides batch by batch in turn lets both see the same load. The
// counter "gdi_vs_xlib_pct" is the backend's extra time in per cent.

template <typename Bare, typename Backend>
void Paired(benchmark::State& state, Bare bare, Backend backend) {
    using Clock = std::chrono::steady_clock;
    Clock::duration bareTotal{}, backendTotal{};
    std::size_t round = 0;
    for (auto _ : state) {
        // Alternate which side goes first, so neither always follows a sync.
        for (int side = 0; side < 2; ++side) {
            const bool bareNow = (side == 0) == (round % 2 == 0);
            const auto start = Clock::now();
            if (bareNow) bare(); else backend();
            (bareNow ? bareTotal : backendTotal) += Clock::now() - start;
        }
        ++round;
    }
    state.counters["gdi_vs_xlib_pct"] =
        100.0 * (static_cast<double>(backendTotal.count()) / static_cast<double>(bareTotal.count()) - 1.0);
}

void BM_Paired_WritePixel(benchmark::State& state) {
    Environment& e = Env();
    Display* dpy = e.display.Dpy();
    std::size_t i = 0, j = 0;
    Paired(
        state,
        [&] {
            for (int n = 0; n < PixelBatch; ++n, i = (i + 1) % InputCount) {
                if (e.shared) {
                    Store(*e.shared, e.X[i], e.Y[i], e.Pixels[i]);
                } else {
                    XSetForeground(dpy, e.pixmapGc, e.Pixels[i]);
                    XDrawPoint(dpy, e.pixmap, e.pixmapGc, e.X[i], e.Y[i]);
                }
            }
            XSync(dpy, False);
        },
        [&] {
            for (int n = 0; n < PixelBatch; ++n, j = (j + 1) % InputCount)
                e.gdi.SetPixel(e.memoryDc, e.X[j], e.Y[j], e.Colors[j]);
            XSync(dpy, False);
        });
}

void BM_Paired_ReadPixel(benchmark::State& state) {
    Environment& e = Env();
    Display* dpy = e.display.Dpy();
    std::size_t i = 0, j = 0;
    unsigned long sink = 0;
    Paired(
        state,
        [&] {
            for (int n = 0; n < ReadBatch; ++n, i = (i + 1) % InputCount) {
                if (e.shared) {
                    sink ^= Load(*e.shared, e.X[i], e.Y[i]);
                    continue;
                }
                XImage* image = XGetImage(dpy, e.pixmap, e.X[i], e.Y[i], 1, 1, AllPlanes, ZPixmap);
                sink ^= XGetPixel(image, 0, 0);
                XDestroyImage(image);
            }
        },
        [&] {
            for (int n = 0; n < ReadBatch; ++n, j = (j + 1) % InputCount)
                sink ^= e.gdi.GetPixel(e.memoryDc, e.X[j], e.Y[j]);
        });
    benchmark::DoNotOptimize(sink);
}

void BM_Paired_Copy(benchmark::State& state) {
    Environment& e = Env();
    Display* dpy = e.display.Dpy();
    std::size_t i = 0, j = 0;
    Paired(
        state,
        [&] {
            for (int n = 0; n < CopyBatch; ++n, i = (i + 1) % InputCount)
                XCopyArea(dpy, e.pixmap, e.panel, e.windowGc, 0, 0, BitmapWidth, BitmapHeight,
                          e.CopyX[i] + 1, e.CopyY[i] + 1);
            XSync(dpy, False);
        },
        [&] {
            for (int n = 0; n < CopyBatch; ++n, j = (j + 1) % InputCount)
                e.gdi.StretchBlt(e.windowDc, e.CopyX[j], e.CopyY[j], BitmapWidth, BitmapHeight,
                                 e.memoryDc, 0, 0, BitmapWidth, BitmapHeight, rop::SrcCopy);
            XSync(dpy, False);
        });
}

BENCHMARK(BM_Paired_WritePixel)->MinTime(2.0);
BENCHMARK(BM_Paired_ReadPixel)->MinTime(2.0);
BENCHMARK(BM_Paired_Copy)->MinTime(2.0);

// The machine is shared, so the fastest of several repetitions is the
// figure to compare (run with --benchmark_repetitions=N).
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define QMK_X11_BENCH(name) BENCHMARK(name)->UseRealTime()->ComputeStatistics("min", Fastest)

QMK_X11_BENCH(BM_WritePixel_InPlace);
QMK_X11_BENCH(BM_WritePixel_Xlib);
QMK_X11_BENCH(BM_WritePixel_X11Gdi);
QMK_X11_BENCH(BM_WritePixel_TCanvas);
QMK_X11_BENCH(BM_ReadPixel_InPlace);
QMK_X11_BENCH(BM_ReadPixel_Xlib);
QMK_X11_BENCH(BM_ReadPixel_X11Gdi);
QMK_X11_BENCH(BM_ReadPixel_TCanvas);
QMK_X11_BENCH(BM_Copy_Xlib);
QMK_X11_BENCH(BM_Copy_X11Gdi);
QMK_X11_BENCH(BM_DrawGraphic_TCanvas);

}  // namespace

BENCHMARK_MAIN();
