// The local wall clock as a time value: days in the whole part, the part of
// the day since midnight in the fraction.
#pragma once

#include <cstdint>

namespace qmk {

using TimeValue = double;

struct ClockFields {
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Second = 0;
    std::uint16_t Millisecond = 0;
    friend bool operator==(const ClockFields&, const ClockFields&) = default;
};

// One GetLocalTime reading; the date is dropped, so the value is in [0, 1).
TimeValue ReadClock();

// Raises EConvertError when a field is out of range.
TimeValue TimeFromFields(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                         std::uint16_t millisecond);

ClockFields FieldsFromTime(TimeValue value);

// Day number of a value, counted from 1 for 0001-01-01 (so value 0, the
// epoch 1899-12-30, is day 693594), with the time of day it carries.
struct DayAndTime {
    std::int64_t Day = 0;
    ClockFields Time;
};
DayAndTime DecodeDayAndTime(TimeValue value);

// The two extended steps of the clock in a given arithmetic (Extended, and
// on x86 each of its two implementations, which the tests hold against each
// other): ms × (1/86,400,000) rounded to double, and the value's
// milliseconds since 0001-01-01, rounded to an integer.
template <class X>
TimeValue TimeFromMillisecondsIn(std::int32_t ms);
template <class X>
std::int64_t MillisecondCountIn(TimeValue value);

}  // namespace qmk
