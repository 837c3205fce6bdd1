// Any locale time format: AdaptTimeFormat must stay inside its input, and
// what it makes must expand safely. First byte: the time separator.
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/LocaleSettings.h"
#include "runtime/TimeText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    qmk::TimeSeparatorChar = static_cast<char>(data[0]);
    std::string_view format(reinterpret_cast<const char*>(data + 1), size - 1);
    qmk::TimePatternShort = qmk::AdaptTimeFormat(format, false);
    qmk::TimePatternLong = qmk::AdaptTimeFormat(format, true);
    // Each token grows by at most three bytes ("t" becomes "a/p").
    if (qmk::TimePatternLong.size() > 3 * format.size()) __builtin_trap();
    if (qmk::TimePatternShort.size() > qmk::TimePatternLong.size()) __builtin_trap();
    qmk::Text text = qmk::TimeText(0.5);
    if (text.Size() > 256) __builtin_trap();
    return 0;
}
