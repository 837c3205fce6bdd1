// qmk-run: the main window driven from the command line. It opens the real
// window (on the session's display, or on a display server of its own
// when there is none), clicks the start button N times, and prints what
// the result box shows.
#pragma once

#include <string_view>
#include <vector>

#include "runner/RunnerReport.h"

namespace qmk {

// The whole runner: the arguments after the program name in, the exit
// code out (0 success, 1 a failed start or run, 2 a bad command line; a
// signal ends it with 128 + its number after stopping the private server).
// Output goes to standard output, errors to standard error.
int RunRunner(const std::vector<std::string_view>& arguments, const BuildFacts& build);

}  // namespace qmk
