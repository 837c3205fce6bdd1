// Tests compare the program's texts in their readable form: what the
// program holds in code page 932, as UTF-8, and back.
#pragma once

#include <string>
#include <string_view>

#include "runtime/Cp932.h"

namespace qmk::test {

inline std::string Readable(std::string_view cp932) { return Cp932ToUtf8(cp932); }
inline std::string Stored(std::string_view utf8) { return Utf8ToCp932(utf8); }

}  // namespace qmk::test
