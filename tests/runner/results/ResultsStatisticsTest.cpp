#include "runner/results/ResultsStatistics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qmk::results {
namespace {

// Critical values of U for a two-sided test at 0.05 from the published
// tables (the largest U whose two-sided exact p-value is at most 0.05;
// none where the sizes never allow it). The exact distribution must put
// the critical value at or below the level and the next one above it.
TEST(MannWhitney, ExactDistributionMeetsThePublishedCriticalValues) {
    const struct {
        int m, n, critical;
    } table[] = {
        {2, 8, 0},  {3, 5, 0},  {3, 6, 1},  {3, 7, 1},   {3, 8, 2},   {4, 4, 0},   {4, 5, 1},
        {4, 6, 2},  {4, 7, 3},  {4, 8, 4},  {5, 5, 2},   {5, 6, 3},   {5, 7, 5},   {5, 8, 6},
        {5, 10, 8}, {6, 6, 5},  {6, 8, 8},  {6, 10, 11}, {7, 7, 8},   {8, 8, 13},  {9, 9, 17},
        {10, 10, 23}, {11, 11, 30}, {12, 12, 37}, {15, 15, 64}, {10, 20, 55}, {20, 20, 127},
    };
    for (const auto& row : table) {
        EXPECT_LE(2 * ExactLowerTail(row.m, row.n, row.critical), SignificanceLevel) << row.m << "x" << row.n;
        EXPECT_GT(2 * ExactLowerTail(row.m, row.n, row.critical + 1), SignificanceLevel) << row.m << "x" << row.n;
    }
}

TEST(MannWhitney, SizesThatCanNeverBeSignificantAreTold) {
    const struct {
        int m, n;
        bool can;
    } table[] = {
        {1, 1, false}, {1, 38, false}, {1, 39, true}, {2, 7, false}, {2, 8, true}, {3, 3, false},
        {3, 4, false}, {3, 5, true},   {4, 4, true},  {10, 1, false},
    };
    for (const auto& row : table) {
        EXPECT_EQ(SmallestPValue(row.m, row.n) <= SignificanceLevel, row.can) << row.m << "x" << row.n;
    }
    EXPECT_DOUBLE_EQ(SmallestPValue(3, 3), 0.1);
    EXPECT_DOUBLE_EQ(SmallestPValue(4, 4), 2.0 / 70);
}

// The worked example of Conover's Practical Nonparametric Statistics
// that SciPy's documentation uses: U = 17, exact p = 0.1111 (14/126);
// by the normal approximation with continuity correction p = 0.11135.
TEST(MannWhitney, WorkedExample) {
    const std::vector<double> males = {19, 22, 16, 29, 24};
    const std::vector<double> females = {20, 11, 17, 12};
    const UTest test = MannWhitneyU(males, females);
    EXPECT_DOUBLE_EQ(test.U1, 17);
    EXPECT_DOUBLE_EQ(test.U2, 3);
    EXPECT_TRUE(test.Exact);
    EXPECT_NEAR(test.PValue, 14.0 / 126, 1e-12);
    EXPECT_TRUE(test.CanBeSignificant);
}

TEST(MannWhitney, TiesUseTheNormalApproximationWithTheTieCorrection) {
    // Worked by hand: first {1,2,3,3}, second {2,2,4,5,6}. Ranks 1; 3,3,3
    // (the three 2s); 5.5,5.5 (the two 3s); 7, 8, 9. Rank sum of the first
    // 15, so U1 = 15 - 10 = 5 against a mean of 10. Ties of 3 and 2:
    // variance = 4 * 5 / 12 * (10 - (24 + 6) / (9 * 8)) = 15.9722;
    // z = (5 - 0.5) / 3.99653 = 1.12598; p = 0.26017.
    const UTest test = MannWhitneyU({1, 2, 3, 3}, {2, 2, 4, 5, 6});
    EXPECT_DOUBLE_EQ(test.U1, 5);
    EXPECT_DOUBLE_EQ(test.U2, 15);
    EXPECT_FALSE(test.Exact);
    EXPECT_NEAR(test.PValue, 0.26017, 1e-5);
}

TEST(MannWhitney, EveryValueTheSameIsNoDifference) {
    const UTest test = MannWhitneyU({5, 5, 5, 5, 5}, {5, 5, 5, 5, 5});
    EXPECT_DOUBLE_EQ(test.PValue, 1);
}

TEST(MannWhitney, LargeSamplesWithoutTiesUseTheNormalApproximation) {
    std::vector<double> a, b;
    for (int i = 0; i < 60; ++i) {
        a.push_back(2 * i);
        b.push_back(2 * i + 1);
    }
    const UTest test = MannWhitneyU(a, b);
    EXPECT_FALSE(test.Exact);
    EXPECT_GT(test.PValue, 0.5);
}

TEST(Figures, MedianMinMaxAndSampleDeviation) {
    const Figures odd = FiguresOf({3, 1, 2});
    EXPECT_EQ(odd.Count, 3);
    EXPECT_DOUBLE_EQ(odd.Median, 2);
    EXPECT_DOUBLE_EQ(odd.Minimum, 1);
    EXPECT_DOUBLE_EQ(odd.Maximum, 3);
    EXPECT_DOUBLE_EQ(*odd.StandardDeviation, 1);
    const Figures even = FiguresOf({4, 1, 3, 2});
    EXPECT_DOUBLE_EQ(even.Median, 2.5);
    // Scores near 2^31 - 1 must not overflow on the way.
    EXPECT_DOUBLE_EQ(FiguresOf({2147483647, 2147483647}).Mean, 2147483647);
    EXPECT_FALSE(FiguresOf({7}).StandardDeviation.has_value());
    EXPECT_THROW(FiguresOf({}), std::invalid_argument);
}

Session WithScores(const std::vector<std::int32_t>& cpu, const std::vector<std::int32_t>& video) {
    Session session;
    for (std::size_t i = 0; i < cpu.size(); ++i) {
        Run run;
        run.Cpu.Score = cpu[i];
        run.Video.Score = video[i];
        session.Runs.push_back(run);
    }
    return session;
}

TEST(CompareScores, VerdictsAndChange) {
    const Session base = WithScores({100, 101, 102, 103, 104}, {500, 501, 502, 503, 504});
    const struct {
        std::vector<std::int32_t> cpu;
        Verdict verdict;
        double change;
    } table[] = {
        // change: (new median - 102) / 102 * 100
        {{110, 111, 112, 113, 114}, Verdict::Faster, 1000.0 / 102},
        {{90, 91, 92, 93, 94}, Verdict::Slower, -1000.0 / 102},
        {{99, 101, 102, 103, 106}, Verdict::NoSignificantDifference, 0},
        {{150, 151, 152}, Verdict::Faster, 4900.0 / 102},
        {{150, 151}, Verdict::TooFewRuns, 4850.0 / 102},
    };
    for (const auto& row : table) {
        const Session next = WithScores(row.cpu, std::vector<std::int32_t>(row.cpu.size(), 500));
        const ScoreComparison c = CompareScores(base, next, ScoreKind::Cpu);
        EXPECT_EQ(c.Outcome, row.verdict) << VerdictText(c.Outcome) << " " << row.cpu.front();
        ASSERT_TRUE(c.ChangePercent);
        EXPECT_NEAR(*c.ChangePercent, row.change, 1e-9);
        EXPECT_DOUBLE_EQ(c.Base.Median, 102);
    }
    const ScoreComparison zero = CompareScores(WithScores({0, 0, 0}, {1, 1, 1}), base, ScoreKind::Cpu);
    EXPECT_FALSE(zero.ChangePercent.has_value());
}

TEST(PercentOfReference, TheReferenceMachineIsAHundred) {
    EXPECT_DOUBLE_EQ(PercentOfReference(1992, ScoreKind::Cpu), 100);
    EXPECT_DOUBLE_EQ(PercentOfReference(2370, ScoreKind::Video), 100);
    EXPECT_NEAR(PercentOfReference(123, ScoreKind::Cpu), 6.17, 0.005);
}

}  // namespace
}  // namespace qmk::results
