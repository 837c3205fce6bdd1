#include "runner/RunnerStatistics.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qmk {

ScoreSummary Summarize(const std::vector<std::int32_t>& scores) {
    if (scores.empty()) throw std::invalid_argument("no scores to summarize");
    std::vector<std::int32_t> sorted = scores;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();

    ScoreSummary summary;
    summary.Count = static_cast<int>(n);
    summary.Minimum = sorted.front();
    summary.Maximum = sorted.back();
    // Scores reach 2^31 - 1, so they are added as doubles, never as int32.
    double sum = 0;
    for (const std::int32_t score : sorted) sum += score;
    summary.Mean = sum / static_cast<double>(n);
    summary.Median = n % 2 == 1 ? sorted[n / 2]
                                : (static_cast<double>(sorted[n / 2 - 1]) + sorted[n / 2]) / 2.0;
    if (n > 1) {
        double squares = 0;
        for (const std::int32_t score : sorted) {
            const double d = score - summary.Mean;
            squares += d * d;
        }
        summary.StandardDeviation = std::sqrt(squares / static_cast<double>(n - 1));
    }
    return summary;
}

}  // namespace qmk
