#include "runtime/ProgramTexts.h"

namespace qmk::texts {

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> arguments) {
    std::string text;
    auto next = arguments.begin();
    for (std::size_t at = format.find("%s"); at != std::string_view::npos && next != arguments.end();
         at = format.find("%s")) {
        text.append(format.substr(0, at));
        text.append(*next++);
        format.remove_prefix(at + 2);
    }
    text.append(format);
    return text;
}

}  // namespace qmk::texts
