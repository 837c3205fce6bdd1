// Cost of the drawing layer's steady operations on the recording backend
// with its log off, next to the same platform calls made directly: the
// difference is what the layer itself adds per operation.
#include <array>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/recording/RecordingGdi.h"
#include "support/FakePanel.h"

namespace qmk {
namespace {

constexpr platform::WindowHandle PanelWindow = 7;

// Pseudo-random positions and colours, the same for both sides.
struct Inputs {
    Inputs() {
        std::uint32_t state = 12345;
        for (auto& input : Values) {
            state = state * 134775813u + 1u;
            input.X = static_cast<std::int32_t>((state >> 8) % 174);
            input.Y = static_cast<std::int32_t>((state >> 16) % 190);
            input.Color = static_cast<TColor>(state & 0x00FFFFFF);
        }
    }
    struct Input {
        std::int32_t X, Y;
        TColor Color;
    };
    std::array<Input, 1024> Values;
};
const Inputs inputs;

// The work bitmap with its context held, and the paint box canvas with its
// context held, as inside a test phase.
struct Phase {
    Phase() : backend({&gdi, nullptr, nullptr}), paintBox(&panel) {
        gdi.SetLogging(false);
        gdi.AddWindow(PanelWindow, 89, 97, 0x00C0C0C0);
        InitializeGraphics();
        canvas.SetControl(&paintBox);
        canvas.Brush().SetColor(clMaroon);
        bitmap.SetWidth(174);
        bitmap.SetHeight(190);
        bitmap.Canvas().WritePixel(0, 0, clBlack);
        canvas.DrawGraphic(0, 0, &bitmap);
    }
    ~Phase() { ReleaseDrawingContexts(); }

    platform::RecordingGdi gdi;
    platform::ScopedBackend backend;
    test::FakePanel panel{PanelWindow};
    test::FakePaintBox paintBox;
    TControlCanvas canvas;
    TBitmap bitmap;
};

void LayerWritePixel(benchmark::State& state) {
    Phase phase;
    TCanvas& pixels = phase.bitmap.Canvas();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& in = inputs.Values[i++ & 1023];
        pixels.WritePixel(in.X, in.Y, in.Color);
    }
}

void BareSetPixel(benchmark::State& state) {
    Phase phase;
    platform::Gdi& gdi = platform::GdiApi();
    const platform::DcHandle dc = phase.bitmap.Canvas().CurrentHandle();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& in = inputs.Values[i++ & 1023];
        gdi.SetPixel(dc, in.X, in.Y, static_cast<platform::ColorRef>(in.Color));
    }
}

void LayerReadPixel(benchmark::State& state) {
    Phase phase;
    TCanvas& pixels = phase.bitmap.Canvas();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& in = inputs.Values[i++ & 1023];
        benchmark::DoNotOptimize(pixels.ReadPixel(in.X, in.Y));
    }
}

void BareGetPixel(benchmark::State& state) {
    Phase phase;
    platform::Gdi& gdi = platform::GdiApi();
    const platform::DcHandle dc = phase.bitmap.Canvas().CurrentHandle();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& in = inputs.Values[i++ & 1023];
        benchmark::DoNotOptimize(gdi.GetPixel(dc, in.X, in.Y));
    }
}

void LayerDrawGraphic(benchmark::State& state) {
    Phase phase;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& in = inputs.Values[i++ & 1023];
        phase.canvas.DrawGraphic(in.X % 87, in.Y % 95, &phase.bitmap);
    }
}

void BareCopy(benchmark::State& state) {
    Phase phase;
    platform::Gdi& gdi = platform::GdiApi();
    const platform::DcHandle dest = phase.canvas.CurrentHandle();
    const platform::DcHandle source = phase.bitmap.Canvas().CurrentHandle();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& in = inputs.Values[i++ & 1023];
        gdi.SetBkColor(dest, 0x00000080);
        gdi.SetTextColor(dest, gdi.GetSysColor(platform::syscolor::WindowText));
        gdi.SetStretchBltMode(dest, platform::ColorOnColor);
        gdi.StretchBlt(dest, in.X % 87, in.Y % 95, 174, 190, source, 0, 0, 174, 190,
                       platform::rop::SrcCopy);
    }
}

BENCHMARK(LayerWritePixel);
BENCHMARK(BareSetPixel);
BENCHMARK(LayerReadPixel);
BENCHMARK(BareGetPixel);
BENCHMARK(LayerDrawGraphic);
BENCHMARK(BareCopy);

}  // namespace
}  // namespace qmk

BENCHMARK_MAIN();
