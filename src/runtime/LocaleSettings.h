// The locale's format settings, read once at start-up (and again when the
// system announces a settings change) and then only read. Texts are in code
// page 932.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qmk {

inline std::string CurrencyText;
inline std::int32_t CurrencyFormat = 0;
inline std::int32_t NegativeCurrencyFormat = 0;
inline char ThousandSeparatorChar = ',';
inline char DecimalSeparatorChar = '.';
inline std::int32_t CurrencyDecimals = 0;
inline char DateSeparatorChar = '/';
inline char TimeSeparatorChar = ':';
inline std::string DatePatternShort = "m/d/yy";
inline std::string DatePatternLong = "mmmm d, yyyy";
inline std::string AmText = "am";
inline std::string PmText = "pm";
inline std::string TimePatternShort = "hh:mm";
inline std::string TimePatternLong = "hh:mm:ss";

// Reads every setting through platform::KernelApi().GetLocaleInfo; a read
// that fails leaves the setting's default.
void ReadLocaleSettings();

// Turns a locale time format (h, H, m, s, t, quoted literals) into a
// pattern of ExpandPattern, with or without the seconds. Compares against
// TimeSeparatorChar, so the separator is read first.
std::string AdaptTimeFormat(std::string_view format, bool keepSeconds);

}  // namespace qmk
