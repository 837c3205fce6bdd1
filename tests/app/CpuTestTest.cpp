// The CPU iteration: its platform calls, the pixels it touches for a given
// seed, the queries it makes before each pixel operation, and the integer
// and float mix.
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "AppFixture.h"
#include "app/CpuTest.h"

namespace qmk::test {
namespace {

using platform::RecordingGdi;
using Call = RecordingGdi::Call;

// Answers width and height like TBitmap, noting how much of the platform
// log existed at each query, so a test can tell which pixel operation it
// preceded.
class QueryCountingBitmap : public TBitmap {
public:
    explicit QueryCountingBitmap(RecordingGdi& gdi) : gdi_(gdi) {}
    std::int32_t GetHeight() const override {
        Queries.push_back({'H', gdi_.LogSize()});
        return TBitmap::GetHeight();
    }
    std::int32_t GetWidth() const override {
        Queries.push_back({'W', gdi_.LogSize()});
        return TBitmap::GetWidth();
    }
    struct Query {
        char Kind;
        std::size_t LogSize;
    };
    mutable std::vector<Query> Queries;

private:
    RecordingGdi& gdi_;
};

class CpuIterationTest : public AppTest {};

TEST_F(CpuIterationTest, SteadyStateMakesSixteenWritesAndEightReadsAndNothingElse) {
    CpuTest(Bitmap(), 0);  // borrows the memory context and selects the pen
    gdi_.ClearLog();
    CpuTest(Bitmap(), 1);

    ASSERT_EQ(gdi_.LogSize(), 24u) << ::testing::PrintToString(gdi_.Calls());
    for (std::size_t i = 0; i < gdi_.LogSize(); ++i) {
        const Call expected = i % 3 == 1 ? Call::GetPixel : Call::SetPixel;
        EXPECT_EQ(gdi_.LogEntry(i).Id, expected) << gdi_.Describe(i);
    }
}

TEST_F(CpuIterationTest, FirstIterationBorrowsTheMemoryContextOnce) {
    CpuTest(Bitmap(), 0);
    EXPECT_EQ(gdi_.Calls(Call::CreateCompatibleDC).size(), 1u);
    EXPECT_EQ(LiveMemoryContexts().size(), 1u);
    gdi_.ClearLog();
    CpuTest(Bitmap(), 0);
    EXPECT_TRUE(gdi_.Calls(Call::CreateCompatibleDC).empty());
}

// Predicts every pass from the generator's formula and a white 174 × 190
// picture: colour, row, column for the write; row, column for the read;
// row, column for the write of what was read.
TEST_F(CpuIterationTest, TouchesThePixelsTheDrawOrderPredicts) {
    const std::uint32_t seed = 45296789;  // 12:34:56.789 UTC
    const std::int32_t width = 174, height = 190;
    ASSERT_EQ(Bitmap().GetWidth(), width);
    ASSERT_EQ(Bitmap().GetHeight(), height);
    std::vector<platform::ColorRef> model(static_cast<std::size_t>(width * height), 0x00FFFFFFu);
    auto at = [&](std::int64_t x, std::int64_t y) -> platform::ColorRef& {
        return model[static_cast<std::size_t>(y * width + x)];
    };

    GeneratorModel generator(seed);
    GeneratorState = seed;
    const int iterations = 3;
    for (int i = 0; i < iterations; ++i) {
        gdi_.ClearLog();
        CpuTest(Bitmap(), i);
        std::vector<std::size_t> pixelCalls;
        for (std::size_t n = 0; n < gdi_.LogSize(); ++n) {
            const Call id = gdi_.LogEntry(n).Id;
            if (id == Call::SetPixel || id == Call::GetPixel) pixelCalls.push_back(n);
        }
        ASSERT_EQ(pixelCalls.size(), 24u);
        for (int pass = 0; pass < 8; ++pass) {
            const std::int32_t colour = generator.Draw(0x1000000);
            const std::int32_t y1 = generator.Draw(height), x1 = generator.Draw(width);
            const std::int32_t y2 = generator.Draw(height), x2 = generator.Draw(width);
            const std::int32_t y3 = generator.Draw(height), x3 = generator.Draw(width);

            const auto& write = gdi_.LogEntry(pixelCalls[static_cast<std::size_t>(pass * 3)]);
            const auto& read = gdi_.LogEntry(pixelCalls[static_cast<std::size_t>(pass * 3 + 1)]);
            const auto& copy = gdi_.LogEntry(pixelCalls[static_cast<std::size_t>(pass * 3 + 2)]);
            EXPECT_EQ(write.Id, Call::SetPixel);
            EXPECT_EQ(write.Args[1], x1);
            EXPECT_EQ(write.Args[2], y1);
            EXPECT_EQ(write.Args[3], colour);
            at(x1, y1) = static_cast<platform::ColorRef>(colour);
            EXPECT_EQ(read.Id, Call::GetPixel);
            EXPECT_EQ(read.Args[1], x2);
            EXPECT_EQ(read.Args[2], y2);
            EXPECT_EQ(copy.Id, Call::SetPixel);
            EXPECT_EQ(copy.Args[1], x3);
            EXPECT_EQ(copy.Args[2], y3);
            EXPECT_EQ(copy.Args[3], static_cast<std::int64_t>(at(x2, y2)));
            at(x3, y3) = at(x2, y2);
        }
        EXPECT_EQ(GeneratorState, generator.State()) << "56 draws per iteration";
    }

    const platform::RecordingSurface& pixels = BitmapPixels();
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            ASSERT_EQ(pixels.Pixel(x, y), at(x, y)) << x << "," << y;
        }
    }
}

TEST_F(CpuIterationTest, AsksForHeightAndWidthBeforeEveryPixelOperation) {
    QueryCountingBitmap bitmap(gdi_);
    bitmap.SetWidth(174);
    bitmap.SetHeight(190);
    CpuTest(bitmap, 0);  // the first pixel operation also borrows the context
    bitmap.Queries.clear();
    gdi_.ClearLog();
    CpuTest(bitmap, 0);

    ASSERT_EQ(bitmap.Queries.size(), 48u);
    for (std::size_t pass = 0; pass < 8; ++pass) {
        for (std::size_t op = 0; op < 3; ++op) {
            // Height then width, with only the previous pixel operations
            // logged: the queries are made afresh for each operation.
            const auto& height = bitmap.Queries[pass * 6 + op * 2];
            const auto& width = bitmap.Queries[pass * 6 + op * 2 + 1];
            EXPECT_EQ(height.Kind, 'H');
            EXPECT_EQ(width.Kind, 'W');
            EXPECT_EQ(height.LogSize, pass * 3 + op);
            EXPECT_EQ(width.LogSize, pass * 3 + op);
        }
    }
}

// A reading of the mix written out with 64-bit integers and explicit
// wrapping to 32 bits.
std::int32_t Wrap(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}
IntegerMix ReferenceMix(std::int64_t j, std::int64_t r, std::int64_t k) {
    IntegerMix m;
    const std::int64_t a = Wrap(Wrap(Wrap(j + r) * std::int64_t{54}) - r / 2) & ((j ^ k) | r);
    m.A = Wrap(a);
    m.B = Wrap(Wrap(Wrap(Wrap(a / 5 + Wrap(Wrap(k + a) * std::int64_t{25})) - r) - a) + j + r + k);
    m.C = Wrap(Wrap(Wrap(Wrap(j * j) + r) / r + j + k) / r);
    return m;
}

struct MixCase {
    std::int32_t J, R, K;
    IntegerMix Expected;
};

TEST(IntegerMixTest, WorkedCases) {
    const MixCase cases[] = {
        {0, 1, 1, {0, 26, 2}},
        // c = ((8 div 8) + 12) div 8 = 1.
        {0, 8, 12, {ReferenceMix(0, 8, 12).A, ReferenceMix(0, 8, 12).B, 1}},
        // 65536² = 2^32 wraps to 0: c = (1 + 65536 + 1) div 1.
        {65536, 1, 1, {ReferenceMix(65536, 1, 1).A, ReferenceMix(65536, 1, 1).B, 65538}},
        // 46341² = 2147488281 wraps to -2147479015; the mix goes on with it,
        // dividing toward zero.
        {46341, 1, 1, {ReferenceMix(46341, 1, 1).A, ReferenceMix(46341, 1, 1).B, -2147432672}},
        {46341, 3, 1, {ReferenceMix(46341, 3, 1).A, ReferenceMix(46341, 3, 1).B, -238593331}},
    };
    for (const MixCase& c : cases) {
        EXPECT_EQ(MixStep(c.J, c.R, c.K), c.Expected) << c.J << " " << c.R << " " << c.K;
    }
}

TEST(IntegerMixTest, AgreesWithAWrappingReadingOverManyCounts) {
    const std::int32_t counts[] = {0, 1, 2, 99, 1000, 46340, 46341, 65535, 65536, 1000000,
                                   2147483647};
    for (std::int32_t j : counts) {
        for (std::int32_t r = 1; r <= 8; ++r) {
            for (std::int32_t k = 1; k <= 12; ++k) {
                ASSERT_EQ(MixStep(j, r, k), ReferenceMix(j, r, k)) << j << " " << r << " " << k;
            }
        }
    }
}

TEST(IntegerMixTest, FloatMixArgumentIsAQuarterOfC) {
    EXPECT_EQ(FloatMixArgument(1), 0.25);
    EXPECT_EQ(FloatMixArgument(-3), -0.75);
    EXPECT_EQ(FloatMixArgument(2147483647), 536870911.75);
}

}  // namespace
}  // namespace qmk::test
