#include "runtime/TimeText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"

namespace qmk {

namespace {

constexpr std::size_t BufferSize = 256;
constexpr int MaxDepth = 2;

// One conversion: the output buffer and the nesting depth, shared by the
// levels of that conversion.
struct Conversion {
    char Buffer[BufferSize];
    std::size_t Fill = 0;
    int Depth = 0;

    void Append(const char* bytes, std::size_t count) {
        count = std::min(count, BufferSize - Fill);
        std::memcpy(Buffer + Fill, bytes, count);
        Fill += count;
    }
    void Append(std::string_view bytes) { Append(bytes.data(), bytes.size()); }
    void Append(char byte) { Append(&byte, 1); }

    // Decimal digits left-padded with zeros to at least minDigits.
    void AppendNumber(std::uint32_t value, std::size_t minDigits) {
        char digits[10];
        std::size_t count = 0;
        do {
            digits[sizeof digits - 1 - count] = static_cast<char>('0' + value % 10);
            value /= 10;
            ++count;
        } while (value != 0);
        if (minDigits > count) {
            std::size_t pad = std::min(minDigits - count, BufferSize - Fill);
            std::memset(Buffer + Fill, '0', pad);
            Fill += pad;
        }
        Append(digits + sizeof digits - count, count);
    }
};

constexpr const char* ShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* LongDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
constexpr const char* ShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* LongMonthNames[] = {"January", "February", "March",     "April",
                                          "May",     "June",     "July",      "August",
                                          "September", "October", "November", "December"};

struct CivilDate {
    bool Valid = false;
    std::uint32_t Year = 0, Month = 0, Day = 0, WeekDay = 0;  // WeekDay 0 = Sunday
};

// Day 1 is 0001-01-01; days outside 0001-01-01 to 9999-12-31 have no date.
CivilDate DateFromDay(std::int64_t day) {
    CivilDate date;
    if (day < 1 || day > 3652059) return date;
    date.Valid = true;
    std::int64_t z = day - 719163 + 719468;  // shift the epoch to 0000-03-01
    std::int64_t era = z / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    date.Year = static_cast<std::uint32_t>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    date.Month = static_cast<std::uint32_t>(m);
    date.Day = static_cast<std::uint32_t>(d);
    date.WeekDay = static_cast<std::uint32_t>(day % 7);  // day 1 was a Monday
    return date;
}

void ExpandLevel(Conversion& conversion, std::string_view pattern, TimeValue value);

class Level {
public:
    Level(Conversion& conversion, std::string_view pattern, TimeValue value)
        : out_(conversion), pattern_(pattern), value_(value) {}

    void Run() {
        while (pos_ < pattern_.size()) {
            char c = pattern_[pos_++];
            if (c == '\0') break;
            if (IsDbcsLeadByte(static_cast<unsigned char>(c))) {
                // The trail byte is never a token. The character is copied:
                // friendlier for a pattern with Japanese text outside quotes,
                // and both texts of a comparison are made alike anyway. A
                // lead byte without its trail byte ends the pattern.
                if (At(pos_) == '\0') break;
                out_.Append(c);
                out_.Append(pattern_[pos_++]);
                previousLetter_ = ' ';
                continue;
            }
            char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            if (u >= 'A' && u <= 'Z') {
                if (u == 'M' && previousLetter_ == 'H') u = 'N';
                previousLetter_ = u;
            }
            std::size_t run = 0;
            switch (u) {
                case 'H': case 'N': case 'S': case 'T': case 'C':
                case 'Y': case 'M': case 'D': case 'G': case 'E':
                    run = 1;
                    while (At(pos_) == c) {
                        ++run;
                        ++pos_;
                    }
                    break;
                default:
                    break;
            }
            Token(c, u, run);
        }
    }

private:
    char At(std::size_t i) const { return i < pattern_.size() ? pattern_[i] : '\0'; }

    bool MatchesAt(std::size_t at, std::string_view token) const {
        return at <= pattern_.size() &&
               EqualsIgnoringAsciiCase(pattern_.substr(at, token.size()), token);
    }

    const ClockFields& Time() {
        Decode();
        return decoded_.Time;
    }
    void Decode() {
        if (!isDecoded_) {
            decoded_ = DecodeDayAndTime(value_);
            isDecoded_ = true;
        }
    }
    CivilDate Date() {
        Decode();
        return DateFromDay(decoded_.Day);
    }

    void Token(char c, char u, std::size_t run) {
        switch (u) {
            case 'H': {
                std::uint32_t hour = Time().Hour;
                LookAheadForAmPm();
                if (twelveHourMode_) {
                    if (hour == 0) hour = 12;
                    else if (hour > 12) hour -= 12;
                }
                out_.AppendNumber(hour, std::min<std::size_t>(run, 2));
                break;
            }
            case 'N':
                out_.AppendNumber(Time().Minute, std::min<std::size_t>(run, 2));
                break;
            case 'S':
                out_.AppendNumber(Time().Second, std::min<std::size_t>(run, 2));
                break;
            case 'A':
                AmPm(c);
                break;
            case 'T':
                ExpandLevel(out_, run == 1 ? TimePatternShort : TimePatternLong, value_);
                break;
            case ':':
                out_.Append(TimeSeparatorChar);
                break;
            case '"':
            case '\'': {
                std::size_t close = pos_;
                while (At(close) != '\0' && At(close) != c) ++close;
                out_.Append(pattern_.substr(pos_, close - pos_));
                pos_ = At(close) == c ? close + 1 : close;
                break;
            }
            case 'Y': {
                CivilDate date = Date();
                if (!date.Valid) break;
                if (run <= 2) out_.AppendNumber(date.Year % 100, 2);
                else out_.AppendNumber(date.Year, 4);
                break;
            }
            case 'M': {
                CivilDate date = Date();
                if (!date.Valid) break;
                if (run <= 2) out_.AppendNumber(date.Month, run);
                else if (run == 3) out_.Append(ShortMonthNames[date.Month - 1]);
                else out_.Append(LongMonthNames[date.Month - 1]);
                break;
            }
            case 'D': {
                if (run == 5) {
                    ExpandLevel(out_, DatePatternShort, value_);
                    break;
                }
                if (run >= 6) {
                    ExpandLevel(out_, DatePatternLong, value_);
                    break;
                }
                CivilDate date = Date();
                if (!date.Valid) break;
                if (run <= 2) out_.AppendNumber(date.Day, run);
                else if (run == 3) out_.Append(ShortDayNames[date.WeekDay]);
                else out_.Append(LongDayNames[date.WeekDay]);
                break;
            }
            case 'E': {
                // Years of the Gregorian era; there is no other calendar here.
                CivilDate date = Date();
                if (date.Valid) out_.AppendNumber(date.Year, run);
                break;
            }
            case 'G':
                // Era names: the Gregorian era has none to show.
                break;
            case 'C': {
                ExpandLevel(out_, DatePatternShort, value_);
                const ClockFields& time = Time();
                if (time.Hour != 0 || time.Minute != 0 || time.Second != 0) {
                    out_.Append(' ');
                    ExpandLevel(out_, TimePatternLong, value_);
                }
                break;
            }
            case '/':
                out_.Append(DateSeparatorChar);
                break;
            default:
                out_.Append(c);
                break;
        }
    }

    // From the byte after an hour run: an AM/PM marker later in the pattern
    // (before the next hour) turns on twelve-hour hours.
    void LookAheadForAmPm() {
        bool quoted = false;
        for (std::size_t i = pos_; i < pattern_.size(); ++i) {
            char b = pattern_[i];
            if (b == '\0' || b == 'H' || b == 'h') return;
            if (b == '"' || b == '\'') {
                quoted = !quoted;
            } else if ((b == 'A' || b == 'a') && !quoted) {
                char next = At(i + 1);
                if (next == '/' || next == 'M' || next == 'm') {
                    twelveHourMode_ = true;
                    return;
                }
            }
        }
    }

    void AmPm(char c) {
        std::size_t at = pos_ - 1;
        if (MatchesAt(at, "AM/PM")) {
            bool am = Time().Hour < 12;
            out_.Append(pattern_.substr(am ? at : at + 3, 2));
            pos_ = at + 5;
            twelveHourMode_ = true;
        } else if (MatchesAt(at, "A/P")) {
            bool am = Time().Hour < 12;
            out_.Append(pattern_[am ? at : at + 2]);
            pos_ = at + 3;
            twelveHourMode_ = true;
        } else if (MatchesAt(at, "AMPM")) {
            out_.Append(Time().Hour < 12 ? AmText : PmText);
            pos_ = at + 4;
            twelveHourMode_ = true;
        } else if (MatchesAt(at, "AAAA")) {
            CivilDate date = Date();
            if (date.Valid) out_.Append(LongDayNames[date.WeekDay]);
            pos_ = at + 4;
        } else if (MatchesAt(at, "AAA")) {
            CivilDate date = Date();
            if (date.Valid) out_.Append(ShortDayNames[date.WeekDay]);
            pos_ = at + 3;
        } else {
            out_.Append(c);
        }
    }

    Conversion& out_;
    std::string_view pattern_;
    TimeValue value_;
    std::size_t pos_ = 0;
    char previousLetter_ = ' ';
    bool twelveHourMode_ = false;
    bool isDecoded_ = false;
    DayAndTime decoded_;
};

void ExpandLevel(Conversion& conversion, std::string_view pattern, TimeValue value) {
    // A pattern ends at its first zero byte (or the end of the view).
    if (conversion.Depth >= MaxDepth || pattern.empty() || pattern[0] == '\0') return;
    ++conversion.Depth;
    Level(conversion, pattern, value).Run();
    --conversion.Depth;
}

}  // namespace

Text ExpandPattern(std::string_view pattern, TimeValue value) {
    Conversion conversion;
    bool empty = pattern.empty() || pattern[0] == '\0';
    ExpandLevel(conversion, empty ? std::string_view("C") : pattern, value);
    return Text(conversion.Buffer, conversion.Fill);
}

Text TimeText(TimeValue value) { return ExpandPattern(TimePatternLong, value); }

}  // namespace qmk
