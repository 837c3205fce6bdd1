// The command line of qmk-results and its subcommands.
#pragma once

#include <string_view>
#include <vector>

namespace qmk::results {

// Runs the subcommand the arguments name; returns the exit status: 0
// success, 1 failure, 2 bad command line.
int RunResults(const std::vector<std::string_view>& arguments, std::string_view version);

}  // namespace qmk::results
