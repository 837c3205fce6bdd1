// Any pattern, any value and any settings: ExpandPattern must stay inside
// its buffers and its 256-byte output. Input layout: 8 bytes of the value,
// then the pattern; a byte 0x01 in the pattern splits off the texts used as
// the nested patterns and the AM and PM texts.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/LocaleSettings.h"
#include "runtime/TimeText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    double value;
    std::memcpy(&value, data, sizeof value);
    std::string_view rest(reinterpret_cast<const char*>(data + 8), size - 8);

    std::string_view parts[6];
    for (auto& part : parts) {
        std::size_t split = rest.find('\x01');
        part = rest.substr(0, split);
        rest = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    }
    qmk::TimePatternLong = std::string(parts[1]);
    qmk::TimePatternShort = std::string(parts[2]);
    qmk::AmText = std::string(parts[3]);
    qmk::PmText = std::string(parts[4]);
    qmk::DatePatternShort = std::string(parts[5]);
    qmk::TimeSeparatorChar = parts[1].empty() ? ':' : parts[1][0];

    qmk::Text text = qmk::ExpandPattern(parts[0], value);
    if (text.Size() > 256) __builtin_trap();
    qmk::Text time = qmk::TimeText(value);
    if (time.Size() > 256) __builtin_trap();
    return 0;
}
