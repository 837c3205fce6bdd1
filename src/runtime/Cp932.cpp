#include "runtime/Cp932.h"

#include <iconv.h>

#include <cerrno>

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

// Length of the UTF-8 sequence a byte starts, 1 for a stray byte.
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts everything; skip(rest) says how many bytes to drop at an
    // invalid sequence, replacement is written in their place.
    template <typename Skip>
    std::string Run(std::string_view text, std::string_view replacement, Skip skip) {
        std::string out;
        if (handle_ == reinterpret_cast<iconv_t>(-1)) return out;
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char chunk[256];
        while (inLeft > 0) {
            char* dst = chunk;
            std::size_t dstLeft = sizeof chunk;
            std::size_t result = iconv(handle_, &in, &inLeft, &dst, &dstLeft);
            out.append(chunk, static_cast<std::size_t>(dst - chunk));
            if (result != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ (invalid or unconvertible) and EINVAL (cut short at the end).
            out.append(replacement);
            std::size_t drop = skip(std::string_view(in, inLeft));
            if (drop == 0 || drop > inLeft) drop = inLeft;
            in += drop;
            inLeft -= drop;
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        iconv(handle_, nullptr, nullptr, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        return out;
    }

private:
    iconv_t handle_;
};

}  // namespace

std::string Cp932ToUtf8(std::string_view text) {
    Converter converter("UTF-8", "CP932");
    return converter.Run(text, "\xEF\xBF\xBD", [](std::string_view rest) -> std::size_t {
        // A lead byte with a bad trail byte loses only the lead byte, so an
        // ASCII byte after it survives.
        (void)rest;
        return 1;
    });
}

std::string Utf8ToCp932(std::string_view text) {
    Converter converter("CP932", "UTF-8");
    return converter.Run(text, "?", [](std::string_view rest) -> std::size_t {
        std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(rest[0]));
        // Drop a whole character only when it is well formed; otherwise one byte.
        for (std::size_t i = 1; i < length; ++i) {
            if (i >= rest.size() || (static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return 1;
        }
        return length;
    });
}

}  // namespace qmk
