// Costs of the runtime's measured-path operations: the time text (once per
// meter check, twice), a random draw and the percentage text, beside
// snprintf as a yardstick for the time text.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/PosixKernel.h"
#include "platform/recording/ScriptedKernel.h"
#include "runtime/Clock.h"
#include "runtime/Extended.h"
#include "runtime/ExtendedCosine.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "runtime/NumberText.h"
#include "runtime/TimeText.h"

namespace {

namespace li = qmk::platform::locale_item;

// Settings as a locale with the given time format would give them.
void UseTimeFormat(const char* format) {
    qmk::platform::ScriptedKernel kernel;
    kernel.SetLocaleItem(li::TimeFormat, format);
    kernel.SetLocaleItem(li::AmText, "AM");
    kernel.SetLocaleItem(li::PmText, "PM");
    qmk::platform::ScopedBackend scope(qmk::platform::Backend{nullptr, nullptr, &kernel});
    qmk::ReadLocaleSettings();
}

std::vector<qmk::TimeValue> SampleTimes() {
    std::vector<qmk::TimeValue> values;
    for (int i = 0; i < 1024; ++i) {
        int ms = (i * 84391 + 12345) % 86400000;
        values.push_back(qmk::TimeFromFields(static_cast<std::uint16_t>(ms / 3600000),
                                             static_cast<std::uint16_t>(ms / 60000 % 60),
                                             static_cast<std::uint16_t>(ms / 1000 % 60),
                                             static_cast<std::uint16_t>(ms % 1000)));
    }
    return values;
}

void TimeTextWith(benchmark::State& state, const char* format) {
    UseTimeFormat(format);
    std::vector<qmk::TimeValue> values = SampleTimes();
    std::size_t i = 0;
    qmk::Text text;
    for (auto _ : state) {
        text = qmk::TimeText(values[i++ & 1023]);
        benchmark::DoNotOptimize(text.Data());
    }
}

void BM_TimeText_hhmmss(benchmark::State& state) { TimeTextWith(state, "hh:mm:ss"); }
void BM_TimeText_h_mm_ss_AMPM(benchmark::State& state) { TimeTextWith(state, "h:mm:ss tt"); }

void BM_Snprintf_02d(benchmark::State& state) {
    std::vector<qmk::TimeValue> values = SampleTimes();
    std::vector<qmk::ClockFields> fields;
    for (auto value : values) fields.push_back(qmk::FieldsFromTime(value));
    std::size_t i = 0;
    char buffer[32];
    for (auto _ : state) {
        const qmk::ClockFields& f = fields[i++ & 1023];
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", f.Hour, f.Minute, f.Second);
        benchmark::DoNotOptimize(buffer);
    }
}

// One boundary check of the meter: a clock reading, two texts, one compare.
void BM_MeterCheck_PosixClock(benchmark::State& state) {
    UseTimeFormat("H:mm:ss");
    qmk::platform::PosixKernel kernel;
    qmk::platform::ScopedBackend scope(qmk::platform::Backend{nullptr, nullptr, &kernel});
    qmk::TimeValue last = qmk::ReadClock();
    qmk::Text previous;
    qmk::Text current;
    for (auto _ : state) {
        qmk::TimeValue now = qmk::ReadClock();
        previous = qmk::TimeText(last);
        current = qmk::TimeText(now);
        bool changed = !(previous == current);
        if (changed) last = now;
        benchmark::DoNotOptimize(changed);
    }
}

void BM_RandomBelow(benchmark::State& state) {
    qmk::GeneratorState = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qmk::RandomBelow(16777216));
    }
}

void BM_FixedText_Percentage(benchmark::State& state) {
    std::vector<qmk::Extended> values;
    for (int score = 1; score <= 1024; ++score) {
        values.push_back(qmk::ScorePercentage(score * 977, 1992));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::string text = qmk::FixedText(values[i++ & 1023], 8, 2);
        benchmark::DoNotOptimize(text.data());
    }
}

// The CPU test's cosine: the arguments are c / 4 for the integer mix's c,
// mostly small, sometimes up to 2^29.
std::vector<double> CosineArguments() {
    std::vector<double> values;
    for (int i = 0; i < 1024; ++i) {
        const std::int32_t c = i % 4 == 3 ? static_cast<std::int32_t>(i * 2654435761u) : (i * 37) % 200;
        values.push_back(c * 0.25);
    }
    return values;
}

#if defined(QMK_HAS_X87)
void BM_Cosine_X87(benchmark::State& state) {
    std::vector<double> values = CosineArguments();
    std::size_t i = 0;
    for (auto _ : state) {
        long double v = std::cos(static_cast<long double>(values[i++ & 1023]));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_Cosine_X87);
#endif

void BM_Cosine_Integer(benchmark::State& state) {
    std::vector<double> values = CosineArguments();
    std::size_t i = 0;
    for (auto _ : state) {
        qmk::SoftExtended v = qmk::Cosine(qmk::SoftExtended::FromDouble(values[i++ & 1023]));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_Cosine_Integer);

#if !defined(QMK_HAS_X87)
// What long double's own cosine costs where long double is not the x87
// format (quadruple precision in software on arm64).
void BM_Cosine_LongDouble(benchmark::State& state) {
    std::vector<double> values = CosineArguments();
    std::size_t i = 0;
    for (auto _ : state) {
        long double v = std::cos(static_cast<long double>(values[i++ & 1023]));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_Cosine_LongDouble);
#endif

// The clock's one extended multiplication and rounding to double, and the
// percentage, in both arithmetics where both exist.
template <class X>
void BM_ClockStep(benchmark::State& state) {
    std::int32_t ms = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qmk::TimeFromMillisecondsIn<X>(ms));
        ms = ms == 86399999 ? 0 : ms + 1;
    }
}
template <class X>
void BM_Percentage(benchmark::State& state) {
    std::int32_t score = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qmk::ScorePercentageIn<X>(score, 1992));
        score = (score * 7 + 1) & 0xFFFFF;
    }
}
BENCHMARK(BM_ClockStep<qmk::SoftExtended>);
BENCHMARK(BM_Percentage<qmk::SoftExtended>);
#if defined(QMK_HAS_X87)
BENCHMARK(BM_ClockStep<qmk::X87Extended>);
BENCHMARK(BM_Percentage<qmk::X87Extended>);
#endif

}  // namespace

BENCHMARK(BM_TimeText_hhmmss);
BENCHMARK(BM_TimeText_h_mm_ss_AMPM);
BENCHMARK(BM_Snprintf_02d);
BENCHMARK(BM_MeterCheck_PosixClock);
BENCHMARK(BM_RandomBelow);
BENCHMARK(BM_FixedText_Percentage);

int main(int argc, char** argv) {
    qmk::SetExtendedPrecision();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
