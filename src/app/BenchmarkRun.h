// One benchmark run: what a click on the start button does.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "app/SecondMeter.h"

namespace qmk {

class TBitmap;
class TPaintBox;
class TMemo;

enum class BenchmarkPhase { Cpu, Video };

// Told as a phase begins, before it waits for a new second, so whatever
// it does is never counted; the iterations call nothing.
using PhaseHook = std::function<void(BenchmarkPhase)>;

// The iterations of each whole second of both phases, in order: the score
// of a phase is (sum div n + max) div 2 of its counts.
struct BenchmarkSamples {
    std::array<std::int32_t, CpuPhaseSeconds> Cpu{};
    std::array<std::int32_t, VideoPhaseSeconds> Video{};
};

// Seeds the generator, blanks both result lines, runs the CPU phase and
// writes its line, runs the video phase and writes its line. Runs on the
// user-interface thread inside the handling of one click; takes no message
// from the queue. samples, when given, receives each phase's counts as the
// phase ends.
void RunBenchmark(TBitmap& workBitmap, TPaintBox& paintBox, TMemo& results,
                  BenchmarkSamples* samples = nullptr, const PhaseHook& onPhase = {});

}  // namespace qmk
