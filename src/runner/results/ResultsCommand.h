// The command line of qmk-results and its subcommands.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qmk::results {

inline constexpr int ResultsExitSuccess = 0;
inline constexpr int ResultsExitFailure = 1;
inline constexpr int ResultsExitUsage = 2;

enum class ExportFormat { Csv, Json, Prometheus, Influx };

struct ResultsOptions {
    bool Help = false;
    bool Version = false;
    std::string Command;  // "list", "show", ...
    std::vector<std::string> Arguments;
    std::optional<std::filesystem::path> Output;
    std::optional<ExportFormat> Format;
    bool Force = false;
    std::optional<std::string> Machine;
};

// A command line that cannot be used; what() is the line to show,
// "qmk-results: compare needs a base and at least one new session".
class ResultsUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ResultsUsageError.
ResultsOptions ParseResultsOptions(const std::vector<std::string_view>& arguments);

std::string ResultsUsageText();

// Runs the subcommand the arguments name; returns the exit status.
int RunResults(const std::vector<std::string_view>& arguments, std::string_view version);

}  // namespace qmk::results
