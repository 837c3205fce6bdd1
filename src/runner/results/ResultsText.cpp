#include "runner/results/ResultsText.h"

#include <charconv>
#include <cstdint>

namespace qmk::results {

std::size_t DecodeUtf8(std::string_view text, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool IsInvisible(char32_t code) {
    return (code >= 0x80 && code <= 0x9F) || code == 0xAD || (code >= 0x200B && code <= 0x200F) ||
           (code >= 0x2028 && code <= 0x202E) || (code >= 0x2060 && code <= 0x206F) || code == 0xFEFF ||
           (code >= 0xFFF9 && code <= 0xFFFB);
}

void AppendHex(std::string& out, const char* prefix, std::uint32_t value, int digits, const char* suffix) {
    static constexpr char Digits[] = "0123456789abcdef";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += Digits[(value >> shift) & 0xFu];
    out += suffix;
}


std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = c >= 0x80 ? DecodeUtf8(text.substr(i), code) : 0;
        if (length == 0) {
            AppendHex(out, "\\x", c, 2, "");
            ++i;
        } else if (IsInvisible(code)) {
            AppendHex(out, "\\u{", static_cast<std::uint32_t>(code), 4, "}");
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string MarkupText(std::string_view text) {
    const std::string visible = VisibleText(text);
    std::string out;
    out.reserve(visible.size());
    for (const char c : visible) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string Fixed(double value, int places) {
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, places);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string Number(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

}  // namespace qmk::results
