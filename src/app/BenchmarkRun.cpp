#include "app/BenchmarkRun.h"

#include "app/CpuTest.h"
#include "app/ResultLines.h"
#include "app/SecondMeter.h"
#include "app/VideoTest.h"
#include "runtime/Generator.h"
#include "runtime/ProgramTexts.h"
#include "ui/Memo.h"

namespace qmk {

void RunBenchmark(TBitmap& workBitmap, TPaintBox& paintBox, TMemo& results) {
    SeedFromClock();
    // Blank the previous run's results. Each line goes to the box as a
    // message, after which the framework gives every drawing context back,
    // so each phase borrows its contexts afresh and keeps them to its end.
    results.Lines().ReplaceLine(CpuLine, texts::CpuLabel.Cp932);
    results.Lines().ReplaceLine(VideoLine, texts::VideoLabel.Cp932);

    // Nothing here catches: an error of the drawing layer leaves the run
    // and reaches the framework's error box, the lines as they were then.
    SecondMeter meter;
    meter.Align();
    meter.Reset();
    do {
        CpuTest(workBitmap, meter.CurrentCount);
        meter.CountAndCheck();
    } while (!meter.Finished(CpuPhaseSeconds));
    WriteResultLine(results, CpuLine, texts::CpuLabel.Cp932, CpuReferenceScore, meter.Score());

    // Aligned again, so writing the CPU line is never counted.
    meter.Align();
    meter.Reset();
    do {
        VideoTest(paintBox, workBitmap);
        meter.CountAndCheck();
    } while (!meter.Finished(VideoPhaseSeconds));
    WriteResultLine(results, VideoLine, texts::VideoLabel.Cp932, VideoReferenceScore, meter.Score());
}

}  // namespace qmk
