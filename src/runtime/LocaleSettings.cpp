#include "runtime/LocaleSettings.h"

#include <charconv>

#include "platform/Platform.h"
#include "runtime/Cp932.h"

namespace qmk {

namespace {

namespace item = platform::locale_item;

// A text setting: GetLocaleInfoA with a 256-byte buffer. The count includes
// the terminator, so an empty locale text gives an empty setting.
std::string LocaleText(std::uint32_t localeItem, std::string_view fallback) {
    char buffer[256];
    int result = platform::KernelApi().GetLocaleInfo(localeItem, buffer, sizeof buffer);
    if (result <= 0) return std::string(fallback);
    // A backend that claims more than the buffer holds is not trusted past it.
    std::size_t length = static_cast<std::size_t>(result) - 1;
    if (length > sizeof buffer) length = sizeof buffer;
    return std::string(buffer, length);
}

// A one-byte setting: a 2-byte buffer, so a longer separator fails the read.
char LocaleChar(std::uint32_t localeItem, char fallback) {
    char buffer[2];
    int result = platform::KernelApi().GetLocaleInfo(localeItem, buffer, sizeof buffer);
    return result <= 0 ? fallback : buffer[0];
}

std::int32_t LocaleNumber(std::uint32_t localeItem, std::int32_t fallback) {
    std::string text = LocaleText(localeItem, "0");
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return fallback;
    return value;
}

}  // namespace

void ReadLocaleSettings() {
    CurrencyText = LocaleText(item::Currency, "");
    CurrencyFormat = LocaleNumber(item::CurrencyFormat, 0);
    NegativeCurrencyFormat = LocaleNumber(item::NegCurrencyFormat, 0);
    ThousandSeparatorChar = LocaleChar(item::ThousandSeparator, ',');
    DecimalSeparatorChar = LocaleChar(item::DecimalSeparator, '.');
    CurrencyDecimals = LocaleNumber(item::CurrencyDigits, 0);
    DateSeparatorChar = LocaleChar(item::DateSeparator, '/');
    TimeSeparatorChar = LocaleChar(item::TimeSeparator, ':');
    DatePatternShort = LocaleText(item::ShortDate, "m/d/yy");
    DatePatternLong = LocaleText(item::LongDate, "mmmm d, yyyy");
    AmText = LocaleText(item::AmText, "am");
    PmText = LocaleText(item::PmText, "pm");
    TimePatternShort = AdaptTimeFormat(LocaleText(item::TimeFormat, "hh:mm:ss"), false);
    TimePatternLong = AdaptTimeFormat(LocaleText(item::TimeFormat, "hh:mm:ss"), true);
}

std::string AdaptTimeFormat(std::string_view format, bool keepSeconds) {
    // The format ends at its first zero byte, as a locale text does.
    format = format.substr(0, format.find('\0'));
    const std::size_t end = format.size();
    auto matches = [&](std::size_t at, std::string_view token) {
        return EqualsIgnoringAsciiCase(format.substr(at, token.size()), token);
    };

    std::string result;
    result.reserve(end + 8);
    bool quoted = false;
    std::size_t i = 0;
    while (i < end) {
        char c = format[i];
        if (IsDbcsLeadByte(static_cast<unsigned char>(c))) {
            std::size_t take = i + 1 < end ? 2 : 1;
            result.append(format.substr(i, take));
            i += 2;
        } else if (c == '\'') {
            quoted = !quoted;
            result += c;
            ++i;
        } else if (quoted) {
            result += c;
            ++i;
        } else if (matches(i, "tt")) {
            result += "AMPM";
            i += 2;
        } else if (matches(i, "t")) {
            result += "a/p";
            ++i;
        } else if (c == TimeSeparatorChar) {
            if (matches(i + 1, "ss")) {
                if (keepSeconds) result += ":ss";
                i += 3;
            } else {
                result += ':';
                ++i;
            }
        } else if (matches(i, "ss")) {
            if (keepSeconds) result += "ss";
            i += 2;
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

}  // namespace qmk
