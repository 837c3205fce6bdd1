// Summary of the scores of repeated runs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace qmk {

struct ScoreSummary {
    int Count = 0;
    double Mean = 0;
    // Of an even count, the mean of the two middle scores.
    double Median = 0;
    std::int32_t Minimum = 0;
    std::int32_t Maximum = 0;
    // Sample standard deviation (divisor n - 1): the runs are a sample of
    // what the machine does, not all of it. None for a single run.
    std::optional<double> StandardDeviation;
};

// Throws std::invalid_argument for no scores.
ScoreSummary Summarize(const std::vector<std::int32_t>& scores);

}  // namespace qmk
