#include "app/SecondMeter.h"

#include <utility>

#include "runtime/LocaleSettings.h"

namespace qmk {

bool PatternShowsSeconds(std::string_view pattern) {
    // Mid-day, so the date-only text of an empty pattern cannot pass for a
    // change (at 00:00:00 it leaves out the time part, one second later not).
    constexpr std::uint16_t Hour = 10, Minute = 20;
    Text previous = ExpandPattern(pattern, TimeFromFields(Hour, Minute, 0, 0));
    for (std::uint16_t second = 1; second < 60; ++second) {
        Text next = ExpandPattern(pattern, TimeFromFields(Hour, Minute, second, 0));
        if (next == previous) return false;
        previous = std::move(next);
    }
    return true;
}

void SecondMeter::Align() {
    // The settings cannot change during a run (no message is handled), so
    // one look per phase is enough.
    useDefaultPattern_ = !PatternShowsSeconds(TimePatternLong);
    LastTime = ReadClock();
    TimeValue now = LastTime;
    do {
        now = ReadClock();
    } while (!NewSecond(now));
    LastTime = now;
}

std::int32_t SecondMeter::Score() const {
    if (SecondsCounted <= 0) return 0;
    const std::int32_t mean = TotalCount / SecondsCounted;
    return Wrap(static_cast<std::uint32_t>(mean) + static_cast<std::uint32_t>(BestCount)) / 2;
}

}  // namespace qmk
