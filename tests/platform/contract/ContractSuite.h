// The written contract of the platform seam, as tests that run unchanged
// against every backend: what the drawing layer, the window framework and
// the runtime rely on. Include it in exactly one file per test program and
// instantiate the suites there (see ContractDesktop.h):
//
//   INSTANTIATE_TYPED_TEST_SUITE_P(BackendGdiContract, GdiContract, Maker);
//   INSTANTIATE_TYPED_TEST_SUITE_P(BackendUserContract, UserContract, Maker);
//   INSTANTIATE_TYPED_TEST_SUITE_P(BackendKernelContract, KernelContract, Maker);
//
// A backend that does not support an item says why through
// ContractDesktop::Unsupported, and the item is skipped with that reason.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ContractDesktop.h"
#include "runtime/ProgramTexts.h"

namespace qmk::platform::contract {

#define QMK_CONTRACT_ITEM(item)                                                   \
    do {                                                                          \
        const std::string why = this->desktop_->Unsupported(item);               \
        if (!why.empty()) GTEST_SKIP() << (item) << " is not supported: " << why; \
    } while (false)

template <class Maker>
class ContractTest : public ::testing::Test {
protected:
    ContractTest() : desktop_(Maker::Open(24)) {}

    Gdi& gdi() { return desktop_->GdiPart(); }
    User& user() { return desktop_->UserPart(); }
    Kernel& kernel() { return desktop_->KernelPart(); }

    std::unique_ptr<ContractDesktop> desktop_;
};

// ---------------------------------------------------------------------------
// Graphics

// A memory context holding a new screen-compatible bitmap, all white.
class MemoryDc {
public:
    MemoryDc(Gdi& gdi, std::int32_t width, std::int32_t height) : gdi_(gdi) {
        const DcHandle screen = gdi.GetDC(0);
        dc_ = gdi.CreateCompatibleDC(screen);
        bitmap_ = gdi.CreateCompatibleBitmap(screen, width, height);
        gdi.ReleaseDC(0, screen);
        previous_ = gdi.SelectObject(dc_, bitmap_);
        gdi.PatBlt(dc_, 0, 0, width, height, rop::Whiteness);
    }
    ~MemoryDc() {
        gdi_.SelectObject(dc_, previous_);
        gdi_.DeleteDC(dc_);
        gdi_.DeleteObject(bitmap_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    DcHandle Dc() const { return dc_; }

private:
    Gdi& gdi_;
    DcHandle dc_ = 0;
    ObjectHandle bitmap_ = 0;
    ObjectHandle previous_ = 0;
};

struct RoundTrip {
    ColorRef Written;
    ColorRef Read16;  // as a 5-6-5 screen stores it
    ColorRef Read15;  // as a 5-5-5 screen stores it
};

// Screens of 24 and 30 bits keep every colour value exactly.
inline constexpr RoundTrip RoundTrips[] = {
    {0x00000000, 0x00000000, 0x00000000}, {0x00FFFFFF, 0x00F8FCF8, 0x00F8F8F8},
    {0x00123456, 0x00103450, 0x00103050}, {0x00000080, 0x00000080, 0x00000080},
    {0x00808000, 0x00808000, 0x00808000}, {0x00C0C0C0, 0x00C0C0C0, 0x00C0C0C0},
    {0x00070307, 0x00000000, 0x00000000}, {0x00FF00FF, 0x00F800F8, 0x00F800F8},
};

inline ColorRef Stored(int depth, const RoundTrip& c) {
    return depth == 16 ? c.Read16 : depth == 15 ? c.Read15 : c.Written;
}

// A colour that differs from pixel to pixel, exact at every depth.
inline ColorRef PatternColor(std::int32_t x, std::int32_t y) {
    return static_cast<ColorRef>((x * 16) | ((y * 16) << 8) | 0x800000);
}

template <class Maker>
class GdiContract : public ContractTest<Maker> {};
TYPED_TEST_SUITE_P(GdiContract);

TYPED_TEST_P(GdiContract, PixelsRoundTripAtEveryDepth) {
    for (const int depth : TypeParam::Depths()) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const auto desktop = TypeParam::Open(depth);
        Gdi& gdi = desktop->GdiPart();
        const DcHandle screen = gdi.GetDC(0);
        EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::BitsPixel), depth);
        gdi.ReleaseDC(0, screen);
        MemoryDc m(gdi, 10, 10);
        for (const RoundTrip& c : RoundTrips) {
            SCOPED_TRACE(std::to_string(c.Written));
            const ColorRef expected = Stored(depth, c);
            gdi.SetPixel(m.Dc(), 3, 4, c.Written);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 3, 4), expected);
            // What was read, written back, stays.
            gdi.SetPixel(m.Dc(), 3, 4, expected);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 3, 4), expected);
        }
        // Outside the bitmap nothing is written and nothing read.
        EXPECT_EQ(gdi.GetPixel(m.Dc(), 10, 0), InvalidColor);
        EXPECT_EQ(gdi.GetPixel(m.Dc(), -1, 3), InvalidColor);
        gdi.SetPixel(m.Dc(), 10, 9, 0);
        EXPECT_EQ(gdi.GetPixel(m.Dc(), 9, 9), Stored(depth, RoundTrips[1]));
    }
}

TYPED_TEST_P(GdiContract, BrushesPensAndRastersStoreColoursAsPixelsDo) {
    for (const int depth : TypeParam::Depths()) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const auto desktop = TypeParam::Open(depth);
        Gdi& gdi = desktop->GdiPart();
        MemoryDc m(gdi, 20, 10);
        for (const RoundTrip& c : RoundTrips) {
            SCOPED_TRACE(std::to_string(c.Written));
            const ColorRef expected = Stored(depth, c);
            LogBrush brush;
            brush.Color = c.Written;
            const ObjectHandle solid = gdi.CreateBrushIndirect(brush);
            gdi.FillRect(m.Dc(), Rect{2, 2, 5, 5}, solid);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 2, 2), expected);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 4, 4), expected);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 5, 5), Stored(depth, RoundTrips[1]));  // right, bottom open
            gdi.DeleteObject(solid);

            LogPen pen;
            pen.Color = c.Written;
            const ObjectHandle line = gdi.CreatePenIndirect(pen);
            const ObjectHandle before = gdi.SelectObject(m.Dc(), line);
            gdi.MoveToEx(m.Dc(), 10, 7, nullptr);
            gdi.LineTo(m.Dc(), 15, 7);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 10, 7), expected);
            EXPECT_EQ(gdi.GetPixel(m.Dc(), 14, 7), expected);
            Point position;
            gdi.GetCurrentPositionEx(m.Dc(), &position);
            EXPECT_EQ(position, (Point{15, 7}));
            gdi.SelectObject(m.Dc(), before);
            gdi.DeleteObject(line);
        }
        gdi.PatBlt(m.Dc(), 0, 0, 20, 10, rop::Blackness);
        EXPECT_EQ(gdi.GetPixel(m.Dc(), 19, 9), 0u);
        gdi.PatBlt(m.Dc(), 0, 0, 20, 10, rop::Whiteness);
        EXPECT_EQ(gdi.GetPixel(m.Dc(), 19, 9), Stored(depth, RoundTrips[1]));
    }
}

TYPED_TEST_P(GdiContract, BlockTransfersLandAtTheirCoordinatesInsideTheClip) {
    Gdi& gdi = this->gdi();
    MemoryDc source(gdi, 10, 10);
    for (std::int32_t y = 0; y < 10; ++y)
        for (std::int32_t x = 0; x < 10; ++x) gdi.SetPixel(source.Dc(), x, y, PatternColor(x, y));
    const auto within = [](const Rect& r, std::int32_t x, std::int32_t y) {
        return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
    };
    // Pixels outside the clip cannot be read.
    const auto expectCopied = [&](DcHandle dest, const Rect& area, std::int32_t dx, std::int32_t dy,
                                  const Rect& clip = Rect{0, 0, 10, 10}) {
        for (std::int32_t y = 0; y < 10; ++y)
            for (std::int32_t x = 0; x < 10; ++x) {
                const ColorRef expected = !within(clip, x, y)   ? InvalidColor
                                          : within(area, x, y) ? PatternColor(x - dx, y - dy)
                                                               : 0x00FFFFFFu;
                const ColorRef got = gdi.GetPixel(dest, x, y);
                if (got != expected) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                                  << ", not " << expected;
                    return;
                }
            }
    };

    {   // Source (1, 1) to destination (2, 3), 4 by 4.
        SCOPED_TRACE("moved");
        MemoryDc dest(gdi, 10, 10);
        EXPECT_TRUE(gdi.BitBlt(dest.Dc(), 2, 3, 4, 4, source.Dc(), 1, 1, rop::SrcCopy));
        expectCopied(dest.Dc(), Rect{2, 3, 6, 7}, 1, 2);
    }
    {   // Past the destination's edge: the part inside lands.
        SCOPED_TRACE("past the edge");
        MemoryDc dest(gdi, 10, 10);
        gdi.BitBlt(dest.Dc(), 7, 8, 6, 6, source.Dc(), 0, 0, rop::SrcCopy);
        expectCopied(dest.Dc(), Rect{7, 8, 10, 10}, 7, 8);
    }
    {   // Only what lies inside the clip rectangle changes.
        SCOPED_TRACE("clipped");
        MemoryDc dest(gdi, 10, 10);
        EXPECT_EQ(gdi.IntersectClipRect(dest.Dc(), 2, 1, 6, 5), SimpleRegion);
        gdi.BitBlt(dest.Dc(), 0, 0, 10, 10, source.Dc(), 0, 0, rop::SrcCopy);
        // A backend whose pixel reads ignore the clip shows instead that
        // nothing outside it changed.
        const bool readsClipped = this->desktop_->Unsupported("pixel reads outside the clip").empty();
        expectCopied(dest.Dc(), Rect{2, 1, 6, 5}, 0, 0, readsClipped ? Rect{2, 1, 6, 5} : Rect{0, 0, 10, 10});
    }
    {   // A viewport origin moves logical coordinates on the device.
        SCOPED_TRACE("viewport origin");
        MemoryDc dest(gdi, 10, 10);
        Point previous{-1, -1};
        gdi.SetViewportOrgEx(dest.Dc(), 3, 2, &previous);
        EXPECT_EQ(previous, (Point{0, 0}));
        gdi.BitBlt(dest.Dc(), 0, 0, 2, 2, source.Dc(), 0, 0, rop::SrcCopy);
        gdi.SetViewportOrgEx(dest.Dc(), 0, 0, nullptr);
        expectCopied(dest.Dc(), Rect{3, 2, 5, 4}, 3, 2);
    }
}

TYPED_TEST_P(GdiContract, TextExtentsOfTheWindowsTexts) {
    Gdi& gdi = this->gdi();
    MemoryDc m(gdi, 400, 40);
    for (const auto face : {texts::ProportionalGothic, texts::FixedGothic}) {
        for (const std::int32_t height : {-12, -19}) {
            SCOPED_TRACE(std::string(face.Utf8) + " " + std::to_string(height));
            LogFont request;
            request.Height = height;
            std::memcpy(request.FaceName, face.Cp932.data(), face.Cp932.size());
            const ObjectHandle font = gdi.CreateFontIndirect(request);
            ASSERT_NE(font, 0u);
            const ObjectHandle before = gdi.SelectObject(m.Dc(), font);
            TextMetrics metrics;
            ASSERT_TRUE(gdi.GetTextMetrics(m.Dc(), &metrics));
            EXPECT_EQ(metrics.Height, metrics.Ascent + metrics.Descent);
            EXPECT_GE(metrics.Height, -height);
            for (const texts::ProgramText* text : texts::AllProgramTexts) {
                SCOPED_TRACE(std::string(text->Utf8));
                const std::string_view bytes = text->Cp932;
                Size size;
                ASSERT_TRUE(gdi.GetTextExtentPoint(m.Dc(), bytes.data(), static_cast<int>(bytes.size()), &size));
                EXPECT_EQ(size.Cy, metrics.Height);
                EXPECT_GT(size.Cx, 0);
                // A text is never narrower than its first half.
                Size half;
                gdi.GetTextExtentPoint(m.Dc(), bytes.data(), static_cast<int>(bytes.size() / 2), &half);
                EXPECT_LE(half.Cx, size.Cx);
            }
            Size empty{-1, -1};
            EXPECT_TRUE(gdi.GetTextExtentPoint(m.Dc(), "", 0, &empty));
            EXPECT_EQ(empty.Cx, 0);
            gdi.SelectObject(m.Dc(), before);
            gdi.DeleteObject(font);
        }
    }
}

TYPED_TEST_P(GdiContract, SystemColoursAndDeviceFacts) {
    Gdi& gdi = this->gdi();
    for (int index = 0; index < syscolor::Count; ++index) {
        EXPECT_EQ(gdi.GetSysColor(index) & 0xFF000000u, 0u) << "colour " << index;
    }
    const DcHandle screen = gdi.GetDC(0);
    EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::HorzRes), this->user().GetSystemMetrics(metric::CxScreen));
    EXPECT_EQ(gdi.GetDeviceCaps(screen, caps::VertRes), this->user().GetSystemMetrics(metric::CyScreen));
    EXPECT_GT(gdi.GetDeviceCaps(screen, caps::HorzRes), 0);
    EXPECT_GT(gdi.GetDeviceCaps(screen, caps::LogPixelsY), 0);
    gdi.ReleaseDC(0, screen);
}

REGISTER_TYPED_TEST_SUITE_P(GdiContract, PixelsRoundTripAtEveryDepth,
                            BrushesPensAndRastersStoreColoursAsPixelsDo,
                            BlockTransfersLandAtTheirCoordinatesInsideTheClip,
                            TextExtentsOfTheWindowsTexts, SystemColoursAndDeviceFacts);

// ---------------------------------------------------------------------------
// Windows and messages

template <class Maker>
class UserContract : public ContractTest<Maker> {
protected:
    WindowHandle ApplicationWindow() {
        CreateWindowParams p;
        p.Style = ws::ApplicationWindow;
        p.Title = texts::ApplicationTitle.Cp932;
        return this->user().CreateWindow(p);
    }

    WindowHandle MainWindow(WindowHandle application) {
        CreateWindowParams p;
        p.Owner = application;
        p.Style = ws::DialogFrame;
        p.X = 30;
        p.Y = 40;
        p.Width = 400;
        p.Height = 152;
        p.Title = texts::MainWindowCaption.Cp932;
        return this->user().CreateWindow(p);
    }

    // Takes messages until one satisfies done or a generous time is up;
    // returns all it took.
    std::vector<Message> PumpUntil(const std::function<bool(const Message&)>& done) {
        std::vector<Message> taken;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            Message m;
            while (this->user().PeekMessage(m)) {
                taken.push_back(m);
                if (done(m)) return taken;
            }
            this->user().Flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return taken;
    }

    // A shown main window with the keyboard focus and its first paint taken.
    WindowHandle ShownMainWindow() {
        const WindowHandle window = MainWindow(ApplicationWindow());
        this->user().ShowWindow(window, true);
        this->user().Activate(window);
        bool painted = false, active = false;
        PumpUntil([&](const Message& m) {
            painted |= m.Window == window && m.Kind == MessageKind::Paint;
            active |= m.Window == window && m.Kind == MessageKind::Activate;
            return painted && active;
        });
        EXPECT_TRUE(painted && active) << "the shown window was not painted and activated";
        return window;
    }
};
TYPED_TEST_SUITE_P(UserContract);

TYPED_TEST_P(UserContract, WindowsAreMadeNamedAndDestroyedWithTheirChildren) {
    User& user = this->user();
    const WindowHandle application = this->ApplicationWindow();
    const WindowHandle main = this->MainWindow(application);
    CreateWindowParams child;
    child.Parent = main;
    child.Style = ws::Child | ws::Visible;
    child.X = 16;
    child.Y = 120;
    child.Width = 0;  // sizes of 0 are allowed
    child.Height = 0;
    const WindowHandle button = user.CreateWindow(child);
    ASSERT_NE(application, 0u);
    ASSERT_NE(main, 0u);
    ASSERT_NE(button, 0u);
    EXPECT_EQ(user.GetWindowText(application), texts::ApplicationTitle.Cp932);
    EXPECT_EQ(user.GetWindowText(main), texts::MainWindowCaption.Cp932);
    user.SetWindowText(button, texts::StartButton.Cp932);
    EXPECT_EQ(user.GetWindowText(button), texts::StartButton.Cp932);
    user.MoveWindow(button, 16, 120, 75, 25);
    EXPECT_TRUE(user.IsWindow(main));
    EXPECT_TRUE(user.IsWindow(button));

    user.DestroyWindow(main);
    EXPECT_FALSE(user.IsWindow(main));
    EXPECT_FALSE(user.IsWindow(button));
    EXPECT_TRUE(user.IsWindow(application));
}

TYPED_TEST_P(UserContract, PaintFollowsInvalidationWithTheArea) {
    const WindowHandle window = this->ShownMainWindow();
    const Rect area{10, 20, 30, 45};
    this->user().InvalidateRect(window, &area);
    const auto taken = this->PumpUntil([&](const Message& m) { return m.Kind == MessageKind::Paint; });
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back().Window, window);
    EXPECT_EQ(taken.back().Area, area);
    this->user().InvalidateRect(window, nullptr);
    const auto whole = this->PumpUntil([&](const Message& m) { return m.Kind == MessageKind::Paint; });
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(whole.back().Area, (Rect{0, 0, 400, 152}));
}

TYPED_TEST_P(UserContract, InputQueuedDuringABusyHandlerComesInOrderBeforeThePaint) {
    QMK_CONTRACT_ITEM("typed input");
    const WindowHandle window = this->ShownMainWindow();
    // The handler is busy: it invalidates, the user types, nobody takes
    // messages for a while.
    this->user().InvalidateRect(window, nullptr);
    this->desktop_->Type(window, 'A');
    this->desktop_->Type(window, 'B');
    this->desktop_->Type(window, '1');
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    std::vector<std::uint32_t> keys;
    bool paintBeforeKeys = false;
    this->PumpUntil([&](const Message& m) {
        if (m.Window != window) return false;
        if (m.Kind == MessageKind::KeyDown) keys.push_back(m.Key);
        if (m.Kind == MessageKind::Paint) {
            paintBeforeKeys = keys.size() < 3;
            return true;
        }
        return false;
    });
    EXPECT_EQ(keys, (std::vector<std::uint32_t>{'A', 'B', '1'}));
    EXPECT_FALSE(paintBeforeKeys);
}

TYPED_TEST_P(UserContract, ClipboardRoundTrip) {
    QMK_CONTRACT_ITEM("clipboard");
    const WindowHandle window = this->MainWindow(this->ApplicationWindow());
    const std::string text = std::string(texts::CpuLabel.Cp932) + "1992\n" +
                             std::string(texts::VideoLabel.Cp932) + "2370\n";
    this->user().SetClipboardText(window, text, 0);
    this->user().Flush();
    EXPECT_EQ(this->desktop_->ReadClipboard(), text);
}

TYPED_TEST_P(UserContract, ScreenMetrics) {
    User& user = this->user();
    EXPECT_GT(user.GetSystemMetrics(metric::CxScreen), 0);
    EXPECT_GT(user.GetSystemMetrics(metric::CyScreen), 0);
    // The window's size is its client area: frames are the desktop's.
    for (const int index : {metric::CxDlgFrame, metric::CyDlgFrame, metric::CyCaption}) {
        EXPECT_GE(user.GetSystemMetrics(index), 0) << "metric " << index;
    }
}

REGISTER_TYPED_TEST_SUITE_P(UserContract, WindowsAreMadeNamedAndDestroyedWithTheirChildren,
                            PaintFollowsInvalidationWithTheArea,
                            InputQueuedDuringABusyHandlerComesInOrderBeforeThePaint,
                            ClipboardRoundTrip, ScreenMetrics);

// ---------------------------------------------------------------------------
// System services

template <class Maker>
class KernelContract : public ContractTest<Maker> {};
TYPED_TEST_SUITE_P(KernelContract);

TYPED_TEST_P(KernelContract, ProgramFileNameIsAFullPathEndingInTheProgramsName) {
    const std::string path = this->kernel().GetModuleFileName();
    const std::string base = this->desktop_->ProgramBaseName();
    ASSERT_GT(path.size(), base.size());
    EXPECT_EQ(path.substr(path.size() - base.size()), base);
    const char separator = path[path.size() - base.size() - 1];
    EXPECT_TRUE(separator == '/' || separator == '\\') << path;
}

TYPED_TEST_P(KernelContract, LocalTimeIsATimeOfDay) {
    const SystemTime first = this->kernel().GetLocalTime();
    const SystemTime second = this->kernel().GetLocalTime();
    for (const SystemTime& t : {first, second}) {
        EXPECT_LT(t.Hour, 24);
        EXPECT_LT(t.Minute, 60);
        EXPECT_LT(t.Second, 60);
        EXPECT_LT(t.Milliseconds, 1000);
    }
    const SystemTime utc = this->kernel().GetSystemTime();
    EXPECT_LT(utc.Hour, 24);
    EXPECT_LT(utc.Minute, 60);
}

TYPED_TEST_P(KernelContract, LocaleAnswersAreTextsWithTheirTerminatorOrNothing) {
    const std::uint32_t items[] = {
        locale_item::Currency,      locale_item::CurrencyFormat, locale_item::NegCurrencyFormat,
        locale_item::ThousandSeparator, locale_item::DecimalSeparator, locale_item::CurrencyDigits,
        locale_item::DateSeparator, locale_item::TimeSeparator, locale_item::ShortDate,
        locale_item::LongDate,      locale_item::AmText,         locale_item::PmText,
        locale_item::TimeFormat};
    for (const std::uint32_t item : items) {
        SCOPED_TRACE("item " + std::to_string(item));
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        const int count = this->kernel().GetLocaleInfo(item, buffer, sizeof buffer);
        // A locale may have no answer (no thousands separator, say): the
        // reader keeps its default. The clock's own items always answer.
        if (item == locale_item::DecimalSeparator || item == locale_item::TimeFormat) {
            EXPECT_GT(count, 0);
        }
        if (count == 0) continue;
        ASSERT_GT(count, 0);
        EXPECT_EQ(buffer[count - 1], '\0');
        EXPECT_EQ(std::strlen(buffer), static_cast<std::size_t>(count - 1));
        // One byte short: nothing fits.
        char small[256];
        EXPECT_EQ(this->kernel().GetLocaleInfo(item, small, count - 1), 0);
    }
    char buffer[16];
    EXPECT_EQ(this->kernel().GetLocaleInfo(0xFFFF, buffer, sizeof buffer), 0);
}

REGISTER_TYPED_TEST_SUITE_P(KernelContract, ProgramFileNameIsAFullPathEndingInTheProgramsName,
                            LocalTimeIsATimeOfDay, LocaleAnswersAreTextsWithTheirTerminatorOrNothing);

}  // namespace qmk::platform::contract
