#include "app/BenchmarkRun.h"

#include <algorithm>
#include <span>

#include "app/CpuTest.h"
#include "app/ResultLines.h"
#include "app/SecondMeter.h"
#include "app/VideoTest.h"
#include "runtime/Generator.h"
#include "runtime/ProgramTexts.h"
#include "ui/Memo.h"

namespace qmk {

namespace {

template <std::size_t N>
void Keep(std::span<const std::int32_t> counts, std::array<std::int32_t, N>& into) {
    into = {};
    std::copy_n(counts.begin(), std::min(counts.size(), N), into.begin());
}

}  // namespace

void RunBenchmark(TBitmap& workBitmap, TPaintBox& paintBox, TMemo& results, BenchmarkSamples* samples,
                  const PhaseHook& onPhase) {
    SeedFromClock();
    // Blank the previous run's results. Each line goes to the box as a
    // message, after which the framework gives every drawing context back,
    // so each phase borrows its contexts afresh and keeps them to its end.
    results.Lines().ReplaceLine(CpuLine, texts::CpuLabel.Cp932);
    results.Lines().ReplaceLine(VideoLine, texts::VideoLabel.Cp932);

    // Nothing here catches: an error of the drawing layer leaves the run
    // and reaches the framework's error box, the lines as they were then.
    if (onPhase) onPhase(BenchmarkPhase::Cpu);
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    do {
        CpuTest(workBitmap, meter.CurrentCount);
        meter.CountAndCheck();
    } while (!meter.Finished(CpuPhaseSeconds));
    if (samples != nullptr) Keep(meter.Samples(), samples->Cpu);
    WriteResultLine(results, CpuLine, texts::CpuLabel.Cp932, CpuReferenceScore, meter.Score());

    // Aligned again, so writing the CPU line is never counted.
    if (onPhase) onPhase(BenchmarkPhase::Video);
    meter.Align();
    meter.Reset();
    do {
        VideoTest(paintBox, workBitmap);
        meter.CountAndCheck();
    } while (!meter.Finished(VideoPhaseSeconds));
    if (samples != nullptr) Keep(meter.Samples(), samples->Video);
    WriteResultLine(results, VideoLine, texts::VideoLabel.Cp932, VideoReferenceScore, meter.Score());
}

}  // namespace qmk
