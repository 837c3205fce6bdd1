// qmk-run: the benchmark's main window driven from the command line, for
// scripts, repeated runs and machines without a desktop.
#include <string_view>
#include <vector>

#include "runner/Runner.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    // The build's facts come from CMake, so the JSON document says which
    // build produced the scores.
    return qmk::RunRunner(arguments, {QMK_VERSION, QMK_BUILD_TYPE, QMK_CXX_COMPILER, QMK_CXX_FLAGS});
}
