// What the program itself costs per benchmark iteration on the recording
// backend (its log off, its block transfers copying nothing), apart from
// the platform calls: one CpuTest and one VideoTest in the steady state of
// a phase, next to a loop that replays the very platform calls they made,
// with the same arguments, straight to the backend. The difference is the generator, the integer and float mix,
// and the drawing layer's canvas work. The meter's per-iteration check (one
// clock reading, two time texts, one comparison) is measured on its own,
// with the scripted clock and with the system clock.
#include <cstdint>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/BenchForm.h"
#include "app/CpuTest.h"
#include "app/SecondMeter.h"
#include "app/VideoTest.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/posix/PosixKernel.h"
#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingUser.h"
#include "platform/recording/ScriptedKernel.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "ui/Application.h"

namespace {

using namespace qmk;
using platform::RecordingGdi;
using Call = RecordingGdi::Call;

// Iterations recorded once and replayed; enough that the replay does not
// sit in a tiny loop over the same few pixels.
constexpr int Recorded = 512;

// The recording backend with block transfers that copy nothing, so a
// video iteration's own cost is not buried under the copying of pixels.
class NoCopyGdi : public RecordingGdi {
public:
    using RecordingGdi::RecordingGdi;
    bool StretchBlt(platform::DcHandle dest, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height, platform::DcHandle source, std::int32_t sourceX,
                    std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight,
                    std::uint32_t rop) override {
        // While recording, the call is made and logged as usual.
        if (!Logging()) return true;
        return RecordingGdi::StretchBlt(dest, x, y, width, height, source, sourceX, sourceY,
                                        sourceWidth, sourceHeight, rop);
    }
};

// The program on the recording backends, the bench form shown and painted,
// WorkBitmap at twice the paint box's size, the contexts of a phase
// borrowed.
class RecordingProgram {
public:
    RecordingProgram() {
        ReadLocaleSettings();
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
        form_ = &application_->CreateForm<test::TBenchForm>();
        form_->Show();
        application_->ProcessMessages();
        bitmap_ = std::make_unique<TBitmap>();
        bitmap_->SetWidth(form_->PaintBox1->Width() * 2);
        bitmap_->SetHeight(form_->PaintBox1->Height() * 2);
        GeneratorState = 45296789;
        CpuTest(*bitmap_, 0);
        VideoTest(*form_->PaintBox1, *bitmap_);
        gdi_.SetLogging(false);
    }
    ~RecordingProgram() {
        ReleaseDrawingContexts();
        bitmap_.reset();
        application_.reset();
    }

    // The calls of `count` iterations of `iteration`, logged.
    template <class F>
    std::vector<RecordingGdi::CallRecord> Record(int count, F iteration) {
        gdi_.SetLogging(true);
        gdi_.ClearLog();
        for (int i = 0; i < count; ++i) iteration(i);
        std::vector<RecordingGdi::CallRecord> calls;
        for (std::size_t n = 0; n < gdi_.LogSize(); ++n) calls.push_back(gdi_.LogEntry(n));
        gdi_.ClearLog();
        gdi_.SetLogging(false);
        return calls;
    }

    NoCopyGdi gdi_{24};
    platform::RecordingUser user_{&gdi_};
    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
    test::TBenchForm* form_ = nullptr;
    std::unique_ptr<TBitmap> bitmap_;
};

platform::DcHandle Dc(std::int64_t value) { return static_cast<platform::DcHandle>(value); }
std::int32_t Int(std::int64_t value) { return static_cast<std::int32_t>(value); }

void Replay(RecordingGdi& gdi, const RecordingGdi::CallRecord& c) {
    const std::int64_t* a = c.Args;
    switch (c.Id) {
        case Call::SetPixel:
            benchmark::DoNotOptimize(gdi.SetPixel(Dc(a[0]), Int(a[1]), Int(a[2]), static_cast<platform::ColorRef>(a[3])));
            break;
        case Call::GetPixel:
            benchmark::DoNotOptimize(gdi.GetPixel(Dc(a[0]), Int(a[1]), Int(a[2])));
            break;
        case Call::SetBkColor:
            benchmark::DoNotOptimize(gdi.SetBkColor(Dc(a[0]), static_cast<platform::ColorRef>(a[1])));
            break;
        case Call::SetTextColor:
            benchmark::DoNotOptimize(gdi.SetTextColor(Dc(a[0]), static_cast<platform::ColorRef>(a[1])));
            break;
        case Call::GetSysColor:
            benchmark::DoNotOptimize(gdi.GetSysColor(Int(a[0])));
            break;
        case Call::SetStretchBltMode:
            benchmark::DoNotOptimize(gdi.SetStretchBltMode(Dc(a[0]), Int(a[1])));
            break;
        case Call::StretchBlt:
            benchmark::DoNotOptimize(gdi.StretchBlt(Dc(a[0]), Int(a[1]), Int(a[2]), Int(a[3]), Int(a[4]),
                                                    Dc(a[5]), Int(a[6]), Int(a[7]), Int(a[8]), Int(a[9]),
                                                    static_cast<std::uint32_t>(a[10])));
            break;
        default:
            break;
    }
}

void BM_CpuIteration(benchmark::State& state) {
    RecordingProgram program;
    std::int32_t j = 0;
    for (auto _ : state) {
        CpuTest(*program.bitmap_, j);
        j = (j + 1) & 1023;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CpuIteration);

void BM_CpuIterationPlatformCallsOnly(benchmark::State& state) {
    RecordingProgram program;
    const auto calls = program.Record(Recorded, [&](int i) { CpuTest(*program.bitmap_, i); });
    if (calls.size() != static_cast<std::size_t>(Recorded) * 24) {
        state.SkipWithError("a steady CPU iteration is not 24 pixel calls");
        return;
    }
    std::size_t next = 0;
    for (auto _ : state) {
        for (int n = 0; n < 24; ++n) Replay(program.gdi_, calls[next++]);
        if (next == calls.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CpuIterationPlatformCallsOnly);

// The arithmetic of an iteration alone: 8 passes of the mix.
void BM_CpuIterationMixOnly(benchmark::State& state) {
    std::int32_t j = 0;
    for (auto _ : state) {
        for (std::int32_t r = 1; r <= 8; ++r) MixPass(j, r);
        j = (j + 1) & 1023;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CpuIterationMixOnly);

// With the copies made: the recording backend's pixel copying dominates.
void BM_VideoIterationWithCopies(benchmark::State& state) {
    RecordingGdi gdi(24);
    platform::RecordingUser user(&gdi);
    platform::ScriptedKernel kernel;
    platform::ScopedBackend backend({&gdi, &user, &kernel});
    InitializeGraphics();
    TApplication application;
    auto& form = application.CreateForm<test::TBenchForm>();
    form.Show();
    application.ProcessMessages();
    TBitmap bitmap;
    bitmap.SetWidth(form.PaintBox1->Width() * 2);
    bitmap.SetHeight(form.PaintBox1->Height() * 2);
    gdi.SetLogging(false);
    for (auto _ : state) VideoTest(*form.PaintBox1, bitmap);
    ReleaseDrawingContexts();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VideoIterationWithCopies);

void BM_VideoIteration(benchmark::State& state) {
    RecordingProgram program;
    for (auto _ : state) VideoTest(*program.form_->PaintBox1, *program.bitmap_);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VideoIteration);

void BM_VideoIterationPlatformCallsOnly(benchmark::State& state) {
    RecordingProgram program;
    const auto calls =
        program.Record(Recorded, [&](int) { VideoTest(*program.form_->PaintBox1, *program.bitmap_); });
    if (calls.size() != static_cast<std::size_t>(Recorded) * 5) {
        state.SkipWithError("a steady video iteration is not 5 calls");
        return;
    }
    std::size_t next = 0;
    for (auto _ : state) {
        for (int n = 0; n < 5; ++n) Replay(program.gdi_, calls[next++]);
        if (next == calls.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VideoIterationPlatformCallsOnly);

// The meter's check after each iteration, on a scripted clock that stays in
// one second (the common case: no boundary).
void BM_MeterCheckScriptedClock(benchmark::State& state) {
    platform::ScriptedKernel kernel;
    platform::ScopedBackend backend({nullptr, nullptr, &kernel});
    kernel.SetLocalTime(test::At(10, 20, 30, 0));
    ReadLocaleSettings();
    SecondMeter meter;
    kernel.QueueLocalTimes({test::At(10, 20, 29, 999), test::At(10, 20, 30, 0)});
    meter.Align();
    meter.Reset();
    for (auto _ : state) {
        meter.CountAndCheck();
        if (meter.CurrentCount > 1000000) meter.Reset();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeterCheckScriptedClock);

// The same with the system clock (clock_gettime and localtime_r).
void BM_MeterCheckSystemClock(benchmark::State& state) {
    platform::PosixKernel kernel;
    platform::ScopedBackend backend({nullptr, nullptr, &kernel});
    ReadLocaleSettings();
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    for (auto _ : state) meter.CountAndCheck();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeterCheckSystemClock);

}  // namespace

BENCHMARK_MAIN();
