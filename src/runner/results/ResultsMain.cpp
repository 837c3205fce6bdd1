// qmk-results: the saved sessions of qmk-run listed, compared, reported and
// exported. It reads files only: no display, no window system linked.
#include <string_view>
#include <vector>

#include "runner/results/ResultsCommand.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return qmk::results::RunResults(arguments, QMK_VERSION);
}
