// A run on a real X server (the test's private Xvfb) with the real clock:
// it lasts as long as its counted seconds, writes lines whose percentages
// match their scores, and its last copy is on the screen as the bitmap holds
// it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "../AppFixture.h"
#include "app/BenchmarkRun.h"
#include "app/CpuTest.h"
#include "app/VideoTest.h"
#include "app/ResultLines.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/posix/PosixKernel.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11User.h"
#include "runtime/Extended.h"
#include "runtime/LocaleSettings.h"
#include "runtime/NumberText.h"
#include "ui/Application.h"

namespace qmk::test {
namespace {

using namespace std::chrono_literals;

// "<score> (<percentage>%)": a score without leading zeros, a percentage
// with two decimals.
bool ParseResult(const std::string& text, std::int32_t& score, std::string& percentage) {
    const std::size_t open = text.find(" (");
    if (open == 0 || open == std::string::npos || text[0] == '0') return false;
    if (text.size() < open + 4 || text.compare(text.size() - 2, 2, "%)") != 0) return false;
    for (std::size_t i = 0; i < open; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    score = std::stoi(text.substr(0, open));
    percentage = text.substr(open + 2, text.size() - open - 4);
    const std::size_t point = percentage.find('.');
    return point != std::string::npos && point > 0 && percentage.size() == point + 3 &&
           percentage.find_first_not_of("0123456789.") == std::string::npos;
}

class BenchmarkX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        SetExtendedPrecision();
        ReadLocaleSettings();
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
        form_ = &application_->CreateForm<TBenchForm>();
        form_->Show();
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (!form_->Active() && std::chrono::steady_clock::now() < end) {
            application_->ProcessMessages();
        }
        application_->ProcessMessages();
        bitmap_ = std::make_unique<TBitmap>();
        bitmap_->SetWidth(form_->PaintBox1->Width() * 2);
        bitmap_->SetHeight(form_->PaintBox1->Height() * 2);
    }
    void TearDown() override {
        bitmap_.reset();
        application_.reset();
    }

    // Line text after the label: score, then the percentage in parentheses.
    void ExpectLine(const std::string& line, const std::string& label, std::int32_t reference) {
        ASSERT_EQ(line.compare(0, label.size(), label), 0) << line;
        std::int32_t score = 0;
        std::string percentage;
        ASSERT_TRUE(ParseResult(line.substr(label.size()), score, percentage)) << line;
        EXPECT_EQ(percentage, FixedText(ScorePercentage(score, reference), 8, 2)) << line;
    }

    platform::x11::X11Display display_;
    platform::x11::X11Gdi gdi_{display_};
    platform::x11::X11User user_{display_};
    platform::PosixKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
    TBenchForm* form_ = nullptr;
    std::unique_ptr<TBitmap> bitmap_;
};

// The inverse of the generator's multiplier modulo 2^32, to step back from
// the state the run left to the draws of its last copy.
std::uint32_t Inverse(std::uint32_t a) {
    std::uint32_t x = a;  // Newton's iteration: each step doubles the good bits
    for (int i = 0; i < 5; ++i) x *= 2u - a * x;
    return x;
}

TEST_F(BenchmarkX11Test, RunLastsItsCountedSecondsAndWritesConsistentLines) {
    const auto start = std::chrono::steady_clock::now();
    RunBenchmark(*bitmap_, *form_->PaintBox1, *form_->Kekka);
    const auto took = std::chrono::steady_clock::now() - start;
    // 2 + 3 counted seconds and two alignments of at most a second each.
    EXPECT_GE(took, 4900ms);
    EXPECT_LE(took, 8000ms);
    ExpectLine(form_->Kekka->Lines().Get(0), CpuLabelBytes, CpuReferenceScore);
    ExpectLine(form_->Kekka->Lines().Get(1), VideoLabelBytes, VideoReferenceScore);
}

TEST_F(BenchmarkX11Test, LastCopyIsOnTheScreen) {
    RunBenchmark(*bitmap_, *form_->PaintBox1, *form_->Kekka);
    // The last iteration drew y then x; undo the two steps to find them.
    const std::uint32_t multiplier = 134775813u;
    ASSERT_EQ(Inverse(multiplier) * multiplier, 1u);
    const std::uint32_t xState = GeneratorState;
    const std::uint32_t yState = (xState - 1u) * Inverse(multiplier);
    const std::int32_t x = static_cast<std::int32_t>((87ull * xState) >> 32);
    const std::int32_t y = static_cast<std::int32_t>((95ull * yState) >> 32);

    platform::Gdi& gdi = platform::GdiApi();
    const platform::WindowHandle panel = form_->Panel1->Handle();
    const platform::DcHandle screen = gdi.GetDC(panel);
    const platform::DcHandle source = bitmap_->Canvas().GetHandle();
    for (std::int32_t row = y; row < 95; row += 7) {
        for (std::int32_t column = x; column < 87; column += 5) {
            ASSERT_EQ(gdi.GetPixel(screen, column + 1, row + 1),
                      gdi.GetPixel(source, column - x, row - y))
                << column << "," << row << " (copy at " << x << "," << y << ")";
        }
    }
    gdi.ReleaseDC(panel, screen);
    ReleaseDrawingContexts();
}

// What reaches the server per iteration once a phase holds its contexts:
// nothing for the CPU test, whose pixels are in memory shared with the
// server; one CopyArea per copy.
TEST_F(BenchmarkX11Test, SteadyIterationsSendOnlyTheirRequests) {
    Display* dpy = display_.Dpy();
    ASSERT_EQ(platform::GdiApi().PixelAccessOf(bitmap_->Image().Handle), platform::PixelAccess::SharedMemory);
    CpuTest(*bitmap_, 0);
    for (int i = 1; i <= 20; ++i) {
        const unsigned long before = XNextRequest(dpy);
        CpuTest(*bitmap_, i);
        EXPECT_EQ(XNextRequest(dpy) - before, 0u) << i;
    }
    VideoTest(*form_->PaintBox1, *bitmap_);
    for (int i = 0; i < 20; ++i) {
        const unsigned long before = XNextRequest(dpy);
        VideoTest(*form_->PaintBox1, *bitmap_);
        EXPECT_EQ(XNextRequest(dpy) - before, 1u) << i;
    }
    ReleaseDrawingContexts();
}

}  // namespace
}  // namespace qmk::test
