#include "platform/posix/PosixKernel.h"

#include <iconv.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "runtime/Cp932.h"

namespace qmk::platform {

namespace {

// One piece of a strftime format after composite fields are expanded.
struct Piece {
    char Field = 0;         // conversion letter, 0 for literal text
    bool NoPadding = false;  // the GNU '-' flag (%-H)
    std::string Literal;
};

constexpr std::string_view DefaultAmPmFormat = "%I:%M:%S %p";

void Parse(std::string_view format, std::string_view ampmFormat, int depth, std::vector<Piece>& out) {
    auto literal = [&](std::string_view text) {
        if (out.empty() || out.back().Field != 0) out.push_back(Piece{});
        out.back().Literal.append(text);
    };
    auto expand = [&](std::string_view inner) {
        // Composite fields nest only a little; a self-referring one stops.
        if (depth < 3) Parse(inner, ampmFormat, depth + 1, out);
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            literal(format.substr(i, 1));
            continue;
        }
        bool noPadding = false;
        std::size_t j = i + 1;
        while (j < format.size() && format[j] != '\0' && std::strchr("-_0^#", format[j]) != nullptr) {
            if (format[j] == '-') noPadding = true;
            ++j;
        }
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        while (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
        if (j >= format.size()) break;
        char conversion = format[j];
        i = j;
        switch (conversion) {
            case '%': literal("%"); break;
            case 'n': case 't': literal(" "); break;
            case 'T': case 'X': expand("%H:%M:%S"); break;
            case 'R': expand("%H:%M"); break;
            case 'r': expand(ampmFormat.find("%r") == std::string_view::npos && !ampmFormat.empty()
                                 ? ampmFormat : DefaultAmPmFormat);
                break;
            case 'D': case 'x': expand("%m/%d/%y"); break;
            case 'F': expand("%Y-%m-%d"); break;
            default: out.push_back(Piece{conversion, noPadding, {}}); break;
        }
    }
}

std::vector<Piece> Pieces(std::string_view format, std::string_view ampmFormat) {
    std::vector<Piece> pieces;
    Parse(format, ampmFormat, 0, pieces);
    return pieces;
}

// Separators and spaces stand as they are; letters (which the format
// language would read as fields) and non-ASCII text go in apostrophes.
// Quote characters themselves are left out.
void AppendLiteral(std::string& out, std::string_view text) {
    bool quoted = false;
    for (char c : text) {
        if (c == '\'' || c == '"') continue;
        unsigned char u = static_cast<unsigned char>(c);
        bool needsQuotes = u >= 0x80 || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        if (needsQuotes != quoted) {
            out += '\'';
            quoted = needsQuotes;
        }
        out += c;
    }
    if (quoted) out += '\'';
}

bool UsesTwelveHours(std::string_view format) {
    for (const Piece& piece : Pieces(format, "")) {
        if (piece.Field == 'p' || piece.Field == 'P' || piece.Field == 'I' || piece.Field == 'l') {
            return true;
        }
    }
    // %r was expanded above through the default 12-hour format.
    return false;
}

SystemTime FromTm(const struct tm& fields, long nanoseconds) {
    SystemTime time;
    time.Hour = static_cast<std::uint16_t>(fields.tm_hour);
    time.Minute = static_cast<std::uint16_t>(fields.tm_min);
    // A leap second is shown as the last second of its minute.
    time.Second = static_cast<std::uint16_t>(fields.tm_sec > 59 ? 59 : fields.tm_sec);
    time.Milliseconds = static_cast<std::uint16_t>(nanoseconds / 1000000);
    return time;
}

std::string Number(long value) { return std::to_string(value); }

// A monetary byte item of nl_langinfo (CHAR_MAX when the locale leaves it open).
int ByteValue(const char* text) {
    if (text == nullptr) return CHAR_MAX;
    return static_cast<signed char>(text[0]);
}

bool IsUtf8(const char* charset) {
    return charset != nullptr &&
           (std::strcmp(charset, "UTF-8") == 0 || std::strcmp(charset, "utf8") == 0);
}

}  // namespace

std::unique_ptr<PosixKernel> PosixKernel::ForLocale(const char* name) {
    locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return nullptr;
    return std::unique_ptr<PosixKernel>(new PosixKernel(locale));
}

PosixKernel::~PosixKernel() {
    if (locale_ != static_cast<locale_t>(0)) freelocale(locale_);
}

SystemTime PosixKernel::GetLocalTime() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm fields {};
    localtime_r(&now.tv_sec, &fields);
    return FromTm(fields, now.tv_nsec);
}

SystemTime PosixKernel::GetSystemTime() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm fields {};
    gmtime_r(&now.tv_sec, &fields);
    return FromTm(fields, now.tv_nsec);
}

const char* PosixKernel::LangInfo(nl_item item) const {
    const char* text = locale_ != static_cast<locale_t>(0) ? nl_langinfo_l(item, locale_)
                                                          : nl_langinfo(item);
    return text != nullptr ? text : "";
}

std::string PosixKernel::TimeFormat() const {
    std::string_view format = LangInfo(T_FMT);
    std::string_view ampm = LangInfo(T_FMT_AMPM);
    if (format.find("%r") != std::string_view::npos || UsesTwelveHours(format)) {
        if (!ampm.empty()) format = ampm;
    }
    return TimeFormatFromStrftime(format, ampm);
}

std::string PosixKernel::TimeFormatFromStrftime(std::string_view format, std::string_view ampmFormat) {
    std::string out;
    for (const Piece& piece : Pieces(format, ampmFormat)) {
        switch (piece.Field) {
            case 0: AppendLiteral(out, piece.Literal); break;
            case 'H': out += piece.NoPadding ? "H" : "HH"; break;
            case 'k': out += "H"; break;
            case 'I': out += piece.NoPadding ? "h" : "hh"; break;
            case 'l': out += "h"; break;
            case 'M': out += piece.NoPadding ? "m" : "mm"; break;
            case 'S': out += piece.NoPadding ? "s" : "ss"; break;
            case 'p': case 'P': out += "tt"; break;
            default: break;  // date and zone fields have no place in a time format
        }
    }
    return out;
}

std::string PosixKernel::DateFormatFromStrftime(std::string_view format) {
    std::string out;
    for (const Piece& piece : Pieces(format, "")) {
        switch (piece.Field) {
            case 0: AppendLiteral(out, piece.Literal); break;
            case 'd': out += piece.NoPadding ? "d" : "dd"; break;
            case 'e': out += "d"; break;
            case 'm': out += piece.NoPadding ? "M" : "MM"; break;
            case 'y': out += "yy"; break;
            case 'Y': out += "yyyy"; break;
            case 'b': case 'h': out += "MMM"; break;
            case 'B': out += "MMMM"; break;
            case 'a': out += "ddd"; break;
            case 'A': out += "dddd"; break;
            default: break;
        }
    }
    return out;
}

std::string PosixKernel::FirstSeparator(std::string_view format, std::string_view ampmFormat) {
    std::vector<Piece> pieces = Pieces(format, ampmFormat);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (pieces[i].Field != 0 && pieces[i + 1].Field == 0) {
            return pieces[i + 1].Literal;
        }
    }
    return {};
}

std::optional<std::string> PosixKernel::ToCp932(std::string_view text, const char* charset) {
    if (IsUtf8(charset)) return Utf8ToCp932Exactly(text);
    // Other charsets reach code page 932 through UTF-8, so the program's
    // one converter decides what code page 932 can hold.
    iconv_t converter = iconv_open("UTF-8", charset);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    std::size_t result = iconv(converter, &in, &inLeft, &dst, &dstLeft);
    if (result != static_cast<std::size_t>(-1)) {
        result = iconv(converter, nullptr, nullptr, &dst, &dstLeft);
    }
    iconv_close(converter);
    // Any failure, and any character replaced on the way, counts as "cannot
    // be converted".
    if (result != 0 || inLeft != 0) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return Utf8ToCp932Exactly(out);
}

std::optional<std::string> PosixKernel::LocaleItemText(std::uint32_t item) const {
    namespace li = locale_item;
    auto separator = [](std::string text) -> std::optional<std::string> {
        // No separator at all is no answer: the reader keeps its default.
        if (text.empty()) return std::nullopt;
        return text;
    };
    switch (item) {
        case li::Currency:
            return std::string(LangInfo(__CURRENCY_SYMBOL));
        case li::CurrencyFormat: {
            int precedes = ByteValue(LangInfo(__P_CS_PRECEDES));
            int space = ByteValue(LangInfo(__P_SEP_BY_SPACE));
            bool before = precedes != 0;  // CHAR_MAX (unspecified) counts as before
            bool separated = space == 1 || space == 2;
            return Number(before ? (separated ? 2 : 0) : (separated ? 3 : 1));
        }
        case li::NegCurrencyFormat: {
            int precedes = ByteValue(LangInfo(__N_CS_PRECEDES));
            int space = ByteValue(LangInfo(__N_SEP_BY_SPACE));
            int position = ByteValue(LangInfo(__N_SIGN_POSN));
            bool before = precedes != 0;
            bool separated = space == 1 || space == 2;
            if (position < 0 || position > 4) position = 1;
            // Rows: sign position 0 (parentheses) to 4 (right after the symbol).
            static constexpr int Formats[2][2][5] = {
                {{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},  // symbol after the number
                {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}},   // symbol before the number
            };
            return Number(Formats[before ? 1 : 0][separated ? 1 : 0][position]);
        }
        case li::ThousandSeparator:
            return separator(LangInfo(THOUSEP));
        case li::DecimalSeparator:
            return separator(LangInfo(RADIXCHAR));
        case li::CurrencyDigits: {
            int digits = ByteValue(LangInfo(__FRAC_DIGITS));
            return Number(digits < 0 || digits == CHAR_MAX ? 2 : digits);
        }
        case li::DateSeparator:
            return separator(FirstSeparator(LangInfo(D_FMT), ""));
        case li::TimeSeparator:
            return separator(FirstSeparator(LangInfo(T_FMT), LangInfo(T_FMT_AMPM)));
        case li::ShortDate:
        case li::LongDate:
            // The locale has one numeric date format; it serves for both.
            return DateFormatFromStrftime(LangInfo(D_FMT));
        case li::AmText:
            return std::string(LangInfo(AM_STR));
        case li::PmText:
            return std::string(LangInfo(PM_STR));
        case li::TimeFormat:
            return TimeFormat();
        default:
            return std::nullopt;
    }
}

std::string PosixKernel::GetModuleFileName() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
    return Utf8ToCp932(std::string_view(path, static_cast<std::size_t>(length)));
}

int PosixKernel::GetLocaleInfo(std::uint32_t item, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    std::optional<std::string> text = LocaleItemText(item);
    if (!text) return 0;
    std::optional<std::string> converted = ToCp932(*text, LangInfo(CODESET));
    if (!converted || converted->size() + 1 > static_cast<std::size_t>(size)) return 0;
    std::memcpy(buffer, converted->data(), converted->size());
    buffer[converted->size()] = '\0';
    return static_cast<int>(converted->size() + 1);
}

}  // namespace qmk::platform
