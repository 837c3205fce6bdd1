#include "runner/results/ResultsStatistics.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "runner/results/Comparability.h"
#include "runner/results/SessionDocument.h"

namespace qmk::results {

namespace {

// Ranks 1..n, tied values sharing the mean of their ranks; the sizes of
// the tied groups go to ties.
std::vector<double> Ranks(const std::vector<double>& values, std::vector<int>& ties) {
    std::vector<std::size_t> order(values.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    std::vector<double> ranks(values.size());
    for (std::size_t start = 0; start < order.size();) {
        std::size_t end = start + 1;
        while (end < order.size() && values[order[end]] == values[order[start]]) ++end;
        const double rank = (static_cast<double>(start + 1) + static_cast<double>(end)) / 2.0;
        for (std::size_t k = start; k < end; ++k) ranks[order[k]] = rank;
        if (end - start > 1) ties.push_back(static_cast<int>(end - start));
        start = end;
    }
    return ranks;
}

double Binomial(int n, int k) {
    double result = 1;
    for (int i = 1; i <= k; ++i) result = result * (n - k + i) / i;
    return result;
}

}  // namespace

const char* ScoreKindName(ScoreKind kind) { return kind == ScoreKind::Cpu ? "cpu" : "video"; }
const char* ScoreKindTitle(ScoreKind kind) { return kind == ScoreKind::Cpu ? "CPU" : "video"; }
double ReferenceScore(ScoreKind kind) {
    return kind == ScoreKind::Cpu ? CpuReferenceScore : VideoReferenceScore;
}

Figures FiguresOf(const std::vector<double>& values) {
    if (values.empty()) throw std::invalid_argument("no values");
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    Figures figures;
    figures.Count = static_cast<int>(n);
    figures.Minimum = sorted.front();
    figures.Maximum = sorted.back();
    figures.Median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
    double sum = 0;
    for (const double value : sorted) sum += value;
    figures.Mean = sum / static_cast<double>(n);
    if (n > 1) {
        double squares = 0;
        for (const double value : sorted) squares += (value - figures.Mean) * (value - figures.Mean);
        figures.StandardDeviation = std::sqrt(squares / static_cast<double>(n - 1));
    }
    return figures;
}

std::vector<double> Scores(const Session& session, ScoreKind kind) {
    std::vector<double> scores;
    scores.reserve(session.Runs.size());
    for (const Run& run : session.Runs) scores.push_back(run.Test(kind).Score);
    return scores;
}

std::optional<Figures> ScoreFigures(const Session& session, ScoreKind kind) {
    if (session.Runs.empty()) return std::nullopt;
    return FiguresOf(Scores(session, kind));
}

double PercentOfReference(double score, ScoreKind kind) { return score / ReferenceScore(kind) * 100.0; }

double ExactLowerTail(int m, int n, double u) {
    if (m <= 0 || n <= 0) return 1;
    // counts[i][k]: arrangements of i values of the first sample among j
    // of the second with U = k, built up column by column (j = 0..n) from
    // f(i, j, k) = f(i - 1, j, k - j) + f(i, j - 1, k). Only additions, so
    // the small counts of the tail keep their precision.
    std::vector<std::vector<double>> counts(m + 1);
    for (int i = 0; i <= m; ++i) counts[i].assign(static_cast<std::size_t>(i) * n + 1, 0.0);
    for (int i = 0; i <= m; ++i) counts[i][0] = 1;  // j = 0: only U = 0
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= m; ++i) {
            // counts[i] holds f(i, j - 1, .); counts[i - 1] already f(i - 1, j, .).
            for (int k = i * j; k >= j; --k) counts[i][k] += counts[i - 1][k - j];
        }
    }
    const std::vector<double>& last = counts[m];
    double below = 0;
    double total = 0;
    for (std::size_t k = 0; k < last.size(); ++k) {
        total += last[k];
        if (static_cast<double>(k) <= u + 1e-9) below += last[k];
    }
    return below / total;
}

double SmallestPValue(int m, int n) { return std::min(1.0, 2.0 / Binomial(m + n, std::min(m, n))); }

UTest MannWhitneyU(const std::vector<double>& first, const std::vector<double>& second) {
    if (first.empty() || second.empty()) throw std::invalid_argument("an empty sample");
    const int m = static_cast<int>(first.size());
    const int n = static_cast<int>(second.size());
    std::vector<double> all = first;
    all.insert(all.end(), second.begin(), second.end());
    std::vector<int> ties;
    const std::vector<double> ranks = Ranks(all, ties);
    double rankSum = 0;
    for (int i = 0; i < m; ++i) rankSum += ranks[i];

    UTest test;
    test.U1 = rankSum - m * (m + 1) / 2.0;
    test.U2 = static_cast<double>(m) * n - test.U1;
    test.CanBeSignificant = SmallestPValue(m, n) <= SignificanceLevel;
    const double smaller = std::min(test.U1, test.U2);
    if (ties.empty() && m < ExactTestLimit && n < ExactTestLimit) {
        test.Exact = true;
        test.PValue = std::min(1.0, 2.0 * ExactLowerTail(m, n, smaller));
        return test;
    }
    const double total = m + n;
    double tieTerm = 0;
    for (const int t : ties) tieTerm += static_cast<double>(t) * t * t - t;
    const double variance = m * n / 12.0 * ((total + 1) - tieTerm / (total * (total - 1)));
    if (variance <= 0) {  // every value the same: nothing tells the samples apart
        test.PValue = 1;
        return test;
    }
    // With the continuity correction, as the U of whole pairs moves in
    // steps of one half at least.
    const double distance = std::max(0.0, std::abs(test.U1 - m * n / 2.0) - 0.5);
    test.PValue = std::min(1.0, std::erfc(distance / std::sqrt(variance) / std::sqrt(2.0)));
    return test;
}

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Faster: return "faster";
        case Verdict::Slower: return "slower";
        case Verdict::NoSignificantDifference: return "no significant difference";
        case Verdict::TooFewRuns: return "too few runs for this test ever to be significant";
    }
    return "";
}

ScoreComparison CompareScores(const Session& base, const Session& next, ScoreKind kind) {
    const std::vector<double> before = Scores(base, kind);
    const std::vector<double> after = Scores(next, kind);
    ScoreComparison comparison;
    comparison.Kind = kind;
    comparison.Base = FiguresOf(before);
    comparison.New = FiguresOf(after);
    if (comparison.Base.Median != 0) {
        comparison.ChangePercent = (comparison.New.Median - comparison.Base.Median) / comparison.Base.Median * 100.0;
    }
    comparison.Test = MannWhitneyU(after, before);
    if (!comparison.Test.CanBeSignificant) {
        comparison.Outcome = Verdict::TooFewRuns;
    } else if (comparison.Test.PValue >= SignificanceLevel) {
        comparison.Outcome = Verdict::NoSignificantDifference;
    } else {
        // U1 is the new session's: above half the pairs, its scores are
        // the higher ones.
        comparison.Outcome = comparison.Test.U1 > comparison.Test.U2 ? Verdict::Faster : Verdict::Slower;
    }
    return comparison;
}

SessionSummary Summarize(const Session& session) {
    SessionSummary summary;
    summary.Data = &session;
    summary.Cpu = ScoreFigures(session, ScoreKind::Cpu);
    summary.Video = ScoreFigures(session, ScoreKind::Video);
    summary.Group = GroupName(KeyOf(session));
    summary.StartMilliseconds = SessionStartMilliseconds(session);
    return summary;
}

Figures InPercent(const Figures& figures, ScoreKind kind) {
    Figures percent = figures;
    percent.Median = PercentOfReference(figures.Median, kind);
    percent.Mean = PercentOfReference(figures.Mean, kind);
    percent.Minimum = PercentOfReference(figures.Minimum, kind);
    percent.Maximum = PercentOfReference(figures.Maximum, kind);
    if (figures.StandardDeviation) percent.StandardDeviation = PercentOfReference(*figures.StandardDeviation, kind);
    return percent;
}

}  // namespace qmk::results
