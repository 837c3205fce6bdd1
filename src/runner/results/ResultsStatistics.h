// The numbers every output shows: a session's figures per score, and the
// comparison of two sessions' scores with a two-sided Mann-Whitney U test.
// Renderers show these; none of them computes its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runner/results/Session.h"

namespace qmk::results {

// The level below which a difference counts as more than noise.
inline constexpr double SignificanceLevel = 0.05;
// Below both sizes and without ties, the test's p-value comes from the
// exact distribution of U; otherwise from the normal approximation.
inline constexpr int ExactTestLimit = 50;

struct Figures {
    int Count = 0;
    double Median = 0;  // of an even count, the mean of the middle two
    double Mean = 0;
    double Minimum = 0;
    double Maximum = 0;
    // Sample standard deviation (n - 1); none for a single value.
    std::optional<double> StandardDeviation;
};

// Throws std::invalid_argument for no values.
Figures FiguresOf(const std::vector<double>& values);

// Every run's score of one test, in run order.
std::vector<double> Scores(const Session& session, ScoreKind kind);
// FiguresOf(Scores(session, kind)), or nothing for a session without runs.
std::optional<Figures> ScoreFigures(const Session& session, ScoreKind kind);
// A score as a percentage of the reference machine's.
double PercentOfReference(double score, ScoreKind kind);

struct UTest {
    // U of the first sample: the number of pairs in which its value is the
    // larger (a tie counts one half). U of the second is n1 n2 - U1.
    double U1 = 0;
    double U2 = 0;
    double PValue = 1;
    bool Exact = false;
    // Whether the sample sizes allow a p-value below the level at all
    // (the smallest is 2 / C(n1 + n2, n1)).
    bool CanBeSignificant = false;
};

// Two-sided. Throws std::invalid_argument when a sample is empty.
UTest MannWhitneyU(const std::vector<double>& first, const std::vector<double>& second);

// P(U <= u) when nothing ties, for samples of m and n values.
double ExactLowerTail(int m, int n, double u);
// The smallest two-sided p-value samples of m and n values can give.
double SmallestPValue(int m, int n);

enum class Verdict { Faster, Slower, NoSignificantDifference, TooFewRuns };
// "faster", "slower", "no significant difference", "too few runs for
// this test ever to be significant".
const char* VerdictText(Verdict verdict);

struct ScoreComparison {
    ScoreKind Kind = ScoreKind::Cpu;
    Figures Base;
    Figures New;
    // Of the new median against the base one; none when the base is 0.
    std::optional<double> ChangePercent;
    UTest Test;
    Verdict Outcome = Verdict::NoSignificantDifference;
};

// A higher score is a faster machine. Throws std::invalid_argument for a
// session without runs.
ScoreComparison CompareScores(const Session& base, const Session& next, ScoreKind kind);

// What the list, the report and the exports show of one session, worked
// out once.
struct SessionSummary {
    const Session* Data = nullptr;
    std::optional<Figures> Cpu;
    std::optional<Figures> Video;
    std::string Group;
    // The start (or, without it, the time in the id), ms since 1970 UTC.
    std::int64_t StartMilliseconds = 0;

    const std::optional<Figures>& Of(ScoreKind kind) const { return kind == ScoreKind::Cpu ? Cpu : Video; }
};

SessionSummary Summarize(const Session& session);

// The figures as percentages of the reference machine's score.
Figures InPercent(const Figures& figures, ScoreKind kind);

}  // namespace qmk::results
