#include "runtime/Generator.h"

#include <gtest/gtest.h>

#include "KernelFixture.h"

namespace qmk {
namespace {

using GeneratorTest = KernelFixture;

struct Draw {
    std::int32_t Range;
    std::int32_t Result;
    std::uint32_t State;
};

TEST_F(GeneratorTest, DrawsFromZeroState) {
    GeneratorState = 0;
    const Draw draws[] = {{16777216, 0, 1u},
                          {190, 5, 134775814u},
                          {174, 149, 3698175007u},
                          {95, 19, 870078620u},
                          {87, 23, 1172187917u}};
    for (const Draw& draw : draws) {
        EXPECT_EQ(RandomBelow(draw.Range), draw.Result) << draw.Range;
        EXPECT_EQ(GeneratorState, draw.State) << draw.Range;
    }
}

TEST_F(GeneratorTest, SeedsFromUtcMillisecondsOfTheDay) {
    kernel_.SetSystemTime({12, 34, 56, 789});
    kernel_.SetLocalTime({1, 2, 3, 4});  // must not be used
    SeedFromClock();
    EXPECT_EQ(GeneratorState, 45296789u);
    EXPECT_EQ(kernel_.SystemTimeCalls(), 1);
    EXPECT_EQ(kernel_.LocalTimeCalls(), 0);
    EXPECT_EQ(RandomBelow(16777216), 8201394);
    EXPECT_EQ(RandomBelow(190), 51);
    EXPECT_EQ(RandomBelow(174), 61);
}

TEST_F(GeneratorTest, MidnightSeedGivesZeroFirstDraw) {
    GeneratorState = 12345;
    kernel_.SetSystemTime({0, 0, 0, 0});
    SeedFromClock();
    EXPECT_EQ(GeneratorState, 0u);
    EXPECT_EQ(RandomBelow(2147483647), 0);
}

TEST_F(GeneratorTest, LastMillisecondOfTheDay) {
    kernel_.SetSystemTime({23, 59, 59, 999});
    SeedFromClock();
    EXPECT_EQ(GeneratorState, 86399999u);
}

TEST_F(GeneratorTest, RangeZeroAndOneGiveZeroAndStillStep) {
    for (std::int32_t range : {0, 1}) {
        GeneratorState = 0xFFFFFFFFu;
        EXPECT_EQ(RandomBelow(range), 0);
        EXPECT_EQ(GeneratorState, 0xFFFFFFFFu * 134775813u + 1u);
    }
    GeneratorState = 0;
    RandomBelow(0);
    EXPECT_EQ(RandomBelow(16777216), static_cast<std::int32_t>(134775814u >> 8));
}

TEST_F(GeneratorTest, ResultStaysBelowRangeAtTheTopState) {
    // The state after this step is 0xFFFFFFFF, the largest scaling factor.
    GeneratorState = (0xFFFFFFFFu - 1u) * 0xD94FA8CDu;  // inverse of the multiplier
    ASSERT_EQ(GeneratorState * 134775813u + 1u, 0xFFFFFFFFu);
    EXPECT_EQ(RandomBelow(1000), 999);
}

TEST_F(GeneratorTest, NegativeRangeIsReadAsUnsigned) {
    GeneratorState = 0;
    RandomBelow(1);  // state 1
    GeneratorState = 0x7FFFFFFFu;
    std::uint32_t next = 0x7FFFFFFFu * 134775813u + 1u;
    std::uint64_t product = 0xFFFFFFFFull * next;
    EXPECT_EQ(RandomBelow(-1), static_cast<std::int32_t>(static_cast<std::uint32_t>(product >> 32)));
}

TEST_F(GeneratorTest, SameMillisecondGivesSameSequence) {
    kernel_.QueueSystemTime({7, 8, 9, 10});
    kernel_.QueueSystemTime({7, 8, 9, 10});
    SeedFromClock();
    std::int32_t first[4];
    for (auto& value : first) value = RandomBelow(1000);
    SeedFromClock();
    for (auto value : first) EXPECT_EQ(RandomBelow(1000), value);
}

}  // namespace
}  // namespace qmk
