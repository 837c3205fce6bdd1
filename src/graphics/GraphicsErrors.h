// Messages of the drawing layer's errors (code page 932).
#pragma once

#include <string>
#include <string_view>

#include "runtime/Errors.h"

namespace qmk {

namespace messages {
// ｼｽﾃﾑ ﾘｿｰｽが足りません
inline constexpr char OutOfResources[] =
    "\xbc\xbd\xc3\xd1\x20\xd8\xbf\xb0\xbd\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// ﾃﾞﾊﾞｲｽ ｺﾝﾃｷｽﾄの作成に失敗しました
inline constexpr char NoDeviceContext[] =
    "\xc3\xde\xca\xde\xb2\xbd\x20\xba\xdd\xc3\xb7\xbd\xc4\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e"
    "\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// Canvas に対する描画ができません
inline constexpr char NoCanvasHandle[] =
    "Canvas \x82\xc9\x91\xce\x82\xb7\x82\xe9\x95\x60\x89\xe6\x82\xaa\x82\xc5\x82\xab\x82\xdc"
    "\x82\xb9\x82\xf1";
// ｺﾝﾄﾛｰﾙ '%s' は親ｳｨﾝﾄﾞｳを持っていません
inline constexpr char ParentRequired[] =
    "\xba\xdd\xc4\xdb\xb0\xd9 '%s' \x82\xcd\x90\x65\xb3\xa8\xdd\xc4\xde\xb3\x82\xf0\x8e\x9d\x82"
    "\xc1\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1";
}  // namespace messages

// The message with its one %s replaced by the argument.
inline std::string FormatErrorText(std::string_view format, std::string_view argument) {
    std::string text(format);
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

}  // namespace qmk
