#include "runtime/Clock.h"

#include "platform/Platform.h"
#include "runtime/Errors.h"
#include "runtime/Extended.h"

namespace qmk {

namespace {

constexpr std::uint32_t MillisecondsPerDay = 86400000;

}  // namespace

template <class X>
TimeValue TimeFromMillisecondsIn(std::int32_t ms) {
    // The extended value nearest to 1/86,400,000.
    constexpr X DayPerMillisecond(0xc6d750ebfa67b90dp-90L);
    return (X::FromInt(ms) * DayPerMillisecond).ToDouble();
}

template <class X>
std::int64_t MillisecondCountIn(TimeValue value) {
    // Days from 0001-01-01 to the epoch of time values, 1899-12-30.
    constexpr X EpochDay = X::FromInt(693594);
    constexpr X MillisecondsPerDayExtended = X::FromInt(MillisecondsPerDay);
    return ((X::FromDouble(value) + EpochDay) * MillisecondsPerDayExtended).RoundToInt64();
}

template TimeValue TimeFromMillisecondsIn<SoftExtended>(std::int32_t);
template std::int64_t MillisecondCountIn<SoftExtended>(TimeValue);
#if defined(QMK_HAS_X87)
template TimeValue TimeFromMillisecondsIn<X87Extended>(std::int32_t);
template std::int64_t MillisecondCountIn<X87Extended>(TimeValue);
#endif

TimeValue ReadClock() {
    platform::SystemTime now = platform::KernelApi().GetLocalTime();
    return TimeFromFields(now.Hour, now.Minute, now.Second, now.Milliseconds);
}

TimeValue TimeFromFields(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                         std::uint16_t millisecond) {
    if (hour > 23 || minute > 59 || second > 59 || millisecond > 999) {
        throw EConvertError(texts::InvalidTime);
    }
    std::int32_t ms = hour * 3600000 + minute * 60000 + second * 1000 + millisecond;
    return TimeFromMillisecondsIn<Extended>(ms);
}

DayAndTime DecodeDayAndTime(TimeValue value) {
    // Out-of-range values (and NaN) come back as the integer indefinite; the
    // unsigned division below still gives a time of day for them.
    std::uint64_t total = static_cast<std::uint64_t>(MillisecondCountIn<Extended>(value));
    std::uint32_t msOfDay = static_cast<std::uint32_t>(total % MillisecondsPerDay);
    DayAndTime result;
    result.Day = static_cast<std::int64_t>(total / MillisecondsPerDay);
    std::uint32_t minutes = msOfDay / 60000;
    std::uint32_t rest = msOfDay % 60000;
    result.Time.Hour = static_cast<std::uint16_t>(minutes / 60);
    result.Time.Minute = static_cast<std::uint16_t>(minutes % 60);
    result.Time.Second = static_cast<std::uint16_t>(rest / 1000);
    result.Time.Millisecond = static_cast<std::uint16_t>(rest % 1000);
    return result;
}

ClockFields FieldsFromTime(TimeValue value) { return DecodeDayAndTime(value).Time; }

}  // namespace qmk
