// Counts how many iterations of a test complete in each whole wall-clock
// second and turns the counts into a score. A second boundary is found by
// comparing the time texts of the last boundary's clock reading and of the
// newest one, so every check pays one clock reading, two fresh time texts
// and one text comparison: that cost is part of what the scores measure.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/Clock.h"
#include "runtime/Text.h"
#include "runtime/TimeText.h"

namespace qmk {

inline constexpr std::int32_t CpuPhaseSeconds = 2;
inline constexpr std::int32_t VideoPhaseSeconds = 3;
// The longer phase's seconds: how many counts a meter keeps.
inline constexpr std::size_t MeterSamples = static_cast<std::size_t>(VideoPhaseSeconds);
static_assert(CpuPhaseSeconds <= VideoPhaseSeconds);

// What the meter compares when the locale's long time pattern cannot show
// seconds: the pattern the settings start with.
inline constexpr std::string_view DefaultTimePattern = "hh:mm:ss";

// True when texts of the pattern change with every second of a minute.
// A pattern without seconds (H:mm) would make a meter count minutes, and an
// empty one (which shows only the date) would make it wait forever.
bool PatternShowsSeconds(std::string_view pattern);

class SecondMeter {
public:
    // Waits for the time text to change and takes that reading as LastTime.
    // It first decides, once for the phase, which pattern the texts use:
    // the locale's long time pattern, or DefaultTimePattern when that one
    // does not show seconds.
    void Align();
    void Reset() {
        SecondsCounted = CurrentCount = BestCount = TotalCount = 0;
        samples_ = {};
    }

    // After every iteration: counts it, then closes the current count if a
    // new second has begun.
    void CountAndCheck() {
        CurrentCount = Wrap(static_cast<std::uint32_t>(CurrentCount) + 1u);
        const TimeValue now = ReadClock();
        if (NewSecond(now)) {
            // Kept only here, once a second, so an iteration costs what it
            // did before anyone looked at the seconds one by one.
            if (static_cast<std::uint32_t>(SecondsCounted) < samples_.size()) {
                samples_[static_cast<std::size_t>(SecondsCounted)] = CurrentCount;
            }
            SecondsCounted = Wrap(static_cast<std::uint32_t>(SecondsCounted) + 1u);
            LastTime = now;
            if (BestCount < CurrentCount) BestCount = CurrentCount;
            TotalCount = Wrap(static_cast<std::uint32_t>(TotalCount) +
                              static_cast<std::uint32_t>(CurrentCount));
            CurrentCount = 0;
        }
    }

    bool Finished(std::int32_t phaseSeconds) const { return SecondsCounted >= phaseSeconds; }

    // (TotalCount div SecondsCounted + BestCount) div 2, truncating toward
    // zero; 0 before any second has been counted.
    std::int32_t Score() const;

    // The count of each second closed since the last Reset, in order (the
    // first MeterSamples of them): what Score summarises.
    std::span<const std::int32_t> Samples() const {
        const auto kept = static_cast<std::uint32_t>(SecondsCounted) < samples_.size()
                              ? static_cast<std::size_t>(SecondsCounted)
                              : samples_.size();
        return {samples_.data(), kept};
    }

    // Whether Align chose DefaultTimePattern.
    bool UsesDefaultPattern() const { return useDefaultPattern_; }

    TimeValue LastTime = 0.0;
    std::int32_t SecondsCounted = 0;
    std::int32_t CurrentCount = 0;
    std::int32_t BestCount = 0;
    std::int32_t TotalCount = 0;

private:
    // Counters are 32-bit two's complement, as the scores were defined.
    static std::int32_t Wrap(std::uint32_t value) { return static_cast<std::int32_t>(value); }

    Text TextOf(TimeValue value) const {
        return useDefaultPattern_ ? ExpandPattern(DefaultTimePattern, value) : TimeText(value);
    }
    // Both texts are made afresh on every test, LastTime's first; each
    // replaces (and releases) the text of the previous test.
    bool NewSecond(TimeValue now) {
        lastText_ = TextOf(LastTime);
        nowText_ = TextOf(now);
        return !(lastText_ == nowText_);
    }

    bool useDefaultPattern_ = false;
    std::array<std::int32_t, MeterSamples> samples_{};
    Text lastText_;
    Text nowText_;
};

}  // namespace qmk
