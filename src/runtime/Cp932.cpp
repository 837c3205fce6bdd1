#include "runtime/Cp932.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/Cp932Table.h"

namespace qmk {

bool IsDbcsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

namespace {

constexpr char32_t Replacement = 0xFFFD;
constexpr char32_t FirstHalfWidthKana = 0xFF61;  // the byte 0xA1
// Language tags mark up text without being part of it; they are dropped.
constexpr char32_t FirstTag = 0xE0000;
constexpr char32_t LastTag = 0xE007F;

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Length of the UTF-8 sequence a byte starts, 1 for a stray byte.
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

struct Decoded {
    char32_t Code = 0;
    std::size_t Length = 1;
    bool Valid = false;
};

// One well-formed UTF-8 character at the start of text: no overlong form,
// no surrogate, nothing above U+10FFFF.
Decoded DecodeUtf8(std::string_view text) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1, true};
    const std::size_t length = Utf8SequenceLength(lead);
    if (length == 1 || length > text.size()) return {};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {0, length, false};
    }
    return {code, length, true};
}

// How many bytes one "?" stands for: a whole sequence when it is complete
// (a character the code page lacks, or one UTF-8 forbids), else one byte.
std::size_t ReplacedLength(std::string_view text) {
    const std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(text[0]));
    if (length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

struct CodePair {
    char16_t Unicode;
    std::uint16_t Code;  // one byte below 0x100, else lead << 8 | trail
};

// Which of several codes of one character is written (see Cp932.h).
int Preference(std::uint16_t code) {
    const unsigned lead = code >> 8;
    if (lead == 0) return 0;
    if (lead == 0x87) return 2;
    if (lead == 0xED || lead == 0xEE) return 4;
    if (lead >= 0xFA) return 3;
    return 1;
}

// The JIS X 0208 forms and the characters the code page holds instead.
constexpr std::pair<char16_t, char16_t> JisForms[] = {
    {0x00A2, 0xFFE0},  // CENT SIGN
    {0x00A3, 0xFFE1},  // POUND SIGN
    {0x00A5, 0x005C},  // YEN SIGN: the byte 0x5C
    {0x00AC, 0xFFE2},  // NOT SIGN
    {0x2014, 0x2015},  // EM DASH: HORIZONTAL BAR
    {0x2016, 0x2225},  // DOUBLE VERTICAL LINE: PARALLEL TO
    {0x203E, 0x007E},  // OVERLINE: the byte 0x7E
    {0x2212, 0xFF0D},  // MINUS SIGN: FULLWIDTH HYPHEN-MINUS
    {0x301C, 0xFF5E},  // WAVE DASH: FULLWIDTH TILDE
};

std::vector<CodePair> BuildEncodeTable() {
    std::vector<CodePair> pairs;
    for (unsigned byte = 0xA1; byte <= 0xDF; ++byte) {
        pairs.push_back({static_cast<char16_t>(FirstHalfWidthKana + (byte - 0xA1)),
                         static_cast<std::uint16_t>(byte)});
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsDbcsLeadByte(static_cast<unsigned char>(lead))) continue;
        const std::uint16_t* row = cp932::DoubleByteTable[cp932::LeadIndex(static_cast<unsigned char>(lead))];
        for (unsigned trail = cp932::FirstTrail; trail <= cp932::LastTrail; ++trail) {
            const char16_t unicode = row[trail - cp932::FirstTrail];
            if (unicode != 0) pairs.push_back({unicode, static_cast<std::uint16_t>(lead << 8 | trail)});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const CodePair& a, const CodePair& b) {
        if (a.Unicode != b.Unicode) return a.Unicode < b.Unicode;
        if (Preference(a.Code) != Preference(b.Code)) return Preference(a.Code) < Preference(b.Code);
        return a.Code < b.Code;
    });
    pairs.erase(std::unique(pairs.begin(), pairs.end(),
                            [](const CodePair& a, const CodePair& b) { return a.Unicode == b.Unicode; }),
                pairs.end());
    const auto find = [&pairs](char16_t unicode) -> std::uint16_t {
        if (unicode < 0x80) return unicode;
        const auto it = std::lower_bound(pairs.begin(), pairs.end(), unicode,
                                         [](const CodePair& p, char16_t u) { return p.Unicode < u; });
        return it->Code;
    };
    std::vector<CodePair> jis;
    for (const auto& [form, held] : JisForms) jis.push_back({form, find(held)});
    pairs.insert(pairs.end(), jis.begin(), jis.end());
    std::sort(pairs.begin(), pairs.end(),
              [](const CodePair& a, const CodePair& b) { return a.Unicode < b.Unicode; });
    return pairs;
}

// The code of a character, 0 when the code page lacks it (U+0000 is
// ASCII and never asked for here).
std::uint16_t EncodeCharacter(char32_t code) {
    if (code < 0x80) return static_cast<std::uint16_t>(code);
    static const std::vector<CodePair> table = BuildEncodeTable();
    if (code > 0xFFFF) return 0;
    const auto it = std::lower_bound(table.begin(), table.end(), static_cast<char16_t>(code),
                                     [](const CodePair& p, char16_t u) { return p.Unicode < u; });
    return it != table.end() && it->Unicode == code ? it->Code : 0;
}

// Converts to code page 932; false as soon as a replacement is needed when
// exact, else "?" stands for what cannot be converted.
bool ToCp932(std::string_view text, std::string& out, bool exact) {
    out.reserve(text.size());
    while (!text.empty()) {
        const Decoded decoded = DecodeUtf8(text);
        if (decoded.Valid && decoded.Code >= FirstTag && decoded.Code <= LastTag) {
            text.remove_prefix(decoded.Length);
            continue;
        }
        const std::uint16_t code = decoded.Valid ? EncodeCharacter(decoded.Code) : 0;
        if (code == 0 && !(decoded.Valid && decoded.Code == 0)) {
            if (exact) return false;
            out += '?';
            text.remove_prefix(ReplacedLength(text));
            continue;
        }
        if (code >= 0x100) out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        text.remove_prefix(decoded.Length);
    }
    return true;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else if (byte >= 0xA1 && byte <= 0xDF) {
            AppendUtf8(out, FirstHalfWidthKana + (byte - 0xA1));
        } else if (IsDbcsLeadByte(byte) && i + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            const char16_t unicode =
                trail >= cp932::FirstTrail && trail <= cp932::LastTrail
                    ? cp932::DoubleByteTable[cp932::LeadIndex(byte)][trail - cp932::FirstTrail]
                    : 0;
            if (unicode != 0) {
                AppendUtf8(out, unicode);
                ++i;
            } else {
                AppendUtf8(out, Replacement);
            }
        } else {
            AppendUtf8(out, Replacement);
        }
    }
    return out;
}

std::string Utf8ToCp932(std::string_view text) {
    std::string out;
    ToCp932(text, out, false);
    return out;
}

std::optional<std::string> Utf8ToCp932Exactly(std::string_view text) {
    std::string out;
    if (!ToCp932(text, out, true)) return std::nullopt;
    return out;
}

}  // namespace qmk
