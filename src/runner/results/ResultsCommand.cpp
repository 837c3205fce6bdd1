#include "runner/results/ResultsCommand.h"

#include <cstdio>
#include <string>

namespace qmk::results {

int RunResults(const std::vector<std::string_view>& arguments, std::string_view version) {
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::printf("qmk-results %s\n", std::string(version).c_str());
        return 0;
    }
    std::fputs("qmk-results: not there yet\n", stderr);
    return 2;
}

}  // namespace qmk::results
