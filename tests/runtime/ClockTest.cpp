#include "runtime/Clock.h"

#include <gtest/gtest.h>

#include "KernelFixture.h"
#include "runtime/Errors.h"
#include "support/Readable.h"

namespace qmk {
namespace {

using ClockTest = KernelFixture;

struct Reading {
    platform::SystemTime Time;
    double Value;
};

TEST_F(ClockTest, ReadClockMakesOneLocalReading) {
    const Reading readings[] = {
        {{12, 0, 0, 0}, 0.5},
        {{0, 0, 0, 0}, 0.0},
        {{9, 5, 7, 250}, 0.37855613425925927},
        {{23, 59, 59, 999}, 0.999999988425926},
        {{6, 0, 0, 0}, 0.25},
    };
    for (const Reading& reading : readings) {
        kernel_.ClearCounts();
        kernel_.SetLocalTime(reading.Time);
        EXPECT_EQ(ReadClock(), reading.Value) << reading.Time.Hour << ":" << reading.Time.Minute;
        EXPECT_EQ(kernel_.LocalTimeCalls(), 1);
        EXPECT_EQ(kernel_.SystemTimeCalls(), 0);
        EXPECT_TRUE(kernel_.LocaleCalls().empty());
    }
    kernel_.SetLocalTime({23, 59, 59, 999});
    EXPECT_LT(ReadClock(), 1.0);
}

TEST_F(ClockTest, FieldsRoundTripForEveryMillisecondOfTheDay) {
    // Every value TimeFromFields makes decodes to its own fields.
    for (std::uint32_t ms = 0; ms < 86400000; ms += 1) {
        ClockFields fields{static_cast<std::uint16_t>(ms / 3600000),
                           static_cast<std::uint16_t>(ms / 60000 % 60),
                           static_cast<std::uint16_t>(ms / 1000 % 60),
                           static_cast<std::uint16_t>(ms % 1000)};
        TimeValue value = TimeFromFields(fields.Hour, fields.Minute, fields.Second, fields.Millisecond);
        ClockFields back = FieldsFromTime(value);
        if (!(back == fields)) {
            FAIL() << "millisecond " << ms;
        }
    }
}

TEST_F(ClockTest, OutOfRangeFieldsRaiseConvertError) {
    const ClockFields bad[] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000},
                               {65535, 65535, 65535, 65535}};
    for (const ClockFields& fields : bad) {
        try {
            TimeFromFields(fields.Hour, fields.Minute, fields.Second, fields.Millisecond);
            ADD_FAILURE() << "no error for " << fields.Hour << " " << fields.Millisecond;
        } catch (const EConvertError& error) {
            EXPECT_STREQ(error.ClassName(), "EConvertError");
            EXPECT_EQ(test::Readable(error.Message()), "時刻に変換できない値が渡されました");
        }
    }
}

TEST_F(ClockTest, DecodeKeepsTheDayAndDropsItFromTheFields) {
    DayAndTime decoded = DecodeDayAndTime(36526.75);  // 2000-01-01 18:00
    EXPECT_EQ(decoded.Day, 36526 + 693594);
    EXPECT_EQ(decoded.Time, (ClockFields{18, 0, 0, 0}));
    EXPECT_EQ(FieldsFromTime(1.5), (ClockFields{12, 0, 0, 0}));
}

TEST_F(ClockTest, AnyDoubleDecodesToFieldsInRange) {
    const double values[] = {-1.25, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), -693594.0, 2958465.99999999};
    for (double value : values) {
        ClockFields fields = FieldsFromTime(value);
        EXPECT_LE(fields.Hour, 23);
        EXPECT_LE(fields.Minute, 59);
        EXPECT_LE(fields.Second, 59);
        EXPECT_LE(fields.Millisecond, 999);
    }
}

}  // namespace
}  // namespace qmk
