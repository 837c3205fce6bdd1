// The in-memory window backend: framework tests rely on it to behave like
// the X11 one where paint, focus and window surfaces are concerned.
#include "platform/recording/RecordingUser.h"

#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "platform/recording/RecordingGdi.h"

namespace qmk::platform {
namespace {

struct Taken {
    WindowHandle Window;
    MessageKind Kind;
    Rect Area;
    friend bool operator==(const Taken&, const Taken&) = default;
};

std::vector<Taken> Drain(RecordingUser& user) {
    std::vector<Taken> out;
    Message m;
    while (user.PeekMessage(m)) out.push_back({m.Window, m.Kind, m.Area});
    return out;
}

class RecordingUserTest : public ::testing::Test {
protected:
    WindowHandle Make(std::uint32_t style, WindowHandle parent, std::int32_t w, std::int32_t h) {
        CreateWindowParams p;
        p.Style = style;
        p.Parent = parent;
        p.Width = w;
        p.Height = h;
        return user_.CreateWindow(p);
    }

    RecordingGdi gdi_;
    RecordingUser user_{&gdi_};
};

TEST_F(RecordingUserTest, ShowingPaintsTheWindowAndItsVisibleChildrenAfterPostedMessages) {
    WindowHandle top = Make(ws::DialogFrame, 0, 400, 152);
    WindowHandle shown = Make(ws::Child | ws::Visible, top, 87, 95);
    WindowHandle hidden = Make(ws::Child, top, 10, 10);
    WindowHandle empty = Make(ws::Child | ws::Visible, top, 0, 10);
    EXPECT_TRUE(Drain(user_).empty()) << "nothing paints while the top-level window is hidden";

    Message close;
    close.Window = top;
    close.Kind = MessageKind::Close;
    user_.Post(close);
    user_.ShowWindow(top, true);
    Rect part{5, 5, 20, 20};
    user_.InvalidateRect(shown, &part);  // already wholly invalid: no second paint
    user_.InvalidateRect(hidden, nullptr);
    user_.InvalidateRect(empty, nullptr);
    EXPECT_EQ(Drain(user_), (std::vector<Taken>{{top, MessageKind::Close, {}},
                                                {top, MessageKind::Paint, {0, 0, 400, 152}},
                                                {shown, MessageKind::Paint, {0, 0, 87, 95}}}));

    Rect a{1, 2, 3, 4}, b{10, 0, 500, 5};
    user_.InvalidateRect(top, &a);
    user_.InvalidateRect(top, &b);  // united, and clipped to the window
    EXPECT_EQ(Drain(user_), (std::vector<Taken>{{top, MessageKind::Paint, {1, 0, 400, 5}}}));
}

TEST_F(RecordingUserTest, ActivateWaitsForTheWindowToShow) {
    WindowHandle first = Make(ws::DialogFrame, 0, 100, 100);
    WindowHandle second = Make(ws::DialogFrame | ws::Modal, 0, 50, 50);
    user_.Activate(first);
    EXPECT_EQ(user_.ActiveWindow(), 0u);
    user_.ShowWindow(first, true);
    user_.ShowWindow(second, true);
    user_.Activate(second);
    user_.ShowWindow(second, false);
    std::vector<Taken> focus;
    for (const Taken& t : Drain(user_))
        if (t.Kind != MessageKind::Paint) focus.push_back(t);
    EXPECT_EQ(focus, (std::vector<Taken>{{first, MessageKind::Activate, {}},
                                         {first, MessageKind::Deactivate, {}},
                                         {second, MessageKind::Activate, {}},
                                         {second, MessageKind::Deactivate, {}}}));
    EXPECT_EQ(user_.ActiveWindow(), 0u);
}

TEST_F(RecordingUserTest, DestroyingAParentEndsItsChildrenAndTheirPaints) {
    WindowHandle top = Make(ws::Visible, 0, 100, 100);
    WindowHandle child = Make(ws::Child | ws::Visible, top, 10, 10);
    WindowHandle grandchild = Make(ws::Child | ws::Visible, child, 5, 5);
    user_.SetClipboardText(grandchild, "x", 0);
    user_.DestroyWindow(top);
    EXPECT_TRUE(Drain(user_).empty());
    EXPECT_FALSE(user_.Info(grandchild)->Alive);
    EXPECT_EQ(user_.GetWindowText(child), "");
    EXPECT_EQ(user_.ClipboardOwner(), 0u);
    EXPECT_TRUE(user_.LiveWindows().empty());
}

TEST_F(RecordingUserTest, WindowSurfaceFollowsTheSizeOnceNoContextIsOut) {
    WindowHandle top = Make(ws::Visible, 0, 40, 30);
    ASSERT_NE(gdi_.WindowSurface(top), nullptr);
    EXPECT_EQ(gdi_.WindowSurface(top)->Width(), 40);

    DcHandle dc = gdi_.GetDC(top);
    ASSERT_NE(dc, 0u);
    user_.MoveWindow(top, 0, 0, 80, 60);
    // The held context still draws into the surface it was given.
    EXPECT_EQ(gdi_.WindowSurface(top)->Width(), 40);
    gdi_.SetPixel(dc, 39, 29, 0x000000FF);
    gdi_.ReleaseDC(top, dc);
    Drain(user_);
    EXPECT_EQ(gdi_.WindowSurface(top)->Width(), 80);
    EXPECT_EQ(gdi_.WindowSurface(top)->Height(), 60);
}

TEST_F(RecordingUserTest, WaitingWithNothingQueuedRunsTheIdleHandlerOrFails) {
    EXPECT_THROW(user_.WaitMessage(), std::logic_error);
    WindowHandle top = Make(ws::DialogFrame, 0, 10, 10);
    user_.SetIdleHandler([&] {
        Message m;
        m.Window = top;
        m.Kind = MessageKind::Close;
        user_.Post(m);
    });
    user_.WaitMessage();
    EXPECT_EQ(Drain(user_), (std::vector<Taken>{{top, MessageKind::Close, {}}}));
}

TEST_F(RecordingUserTest, LogNamesWindowsAndEscapesTexts) {
    CreateWindowParams p;
    p.Style = ws::ApplicationWindow;
    p.Title = "QMK1.0";
    WindowHandle leader = user_.CreateWindow(p);
    p.Owner = leader;
    p.Style = ws::DialogFrame;
    p.X = 194;
    p.Y = 150;
    p.Width = 400;
    p.Height = 152;
    p.Title = "\x83\x58";  // ス
    WindowHandle top = user_.CreateWindow(p);
    Rect area{1, 2, 3, 4};
    user_.InvalidateRect(top, &area);
    user_.SetSystemMetric(metric::CxScreen, 640);
    EXPECT_EQ(user_.GetSystemMetrics(metric::CxScreen), 640);
    EXPECT_EQ(user_.GetWindowText(leader), "QMK1.0");
    EXPECT_EQ(user_.Calls(), (std::vector<std::string>{
                                 "CreateWindow(w1,0,0,0x0008,0,0,0,0,0x00C0C0C0,\"QMK1.0\")",
                                 "CreateWindow(w2,0,w1,0x0004,194,150,400,152,0x00C0C0C0,\"\\x83X\")",
                                 "InvalidateRect(w2,{1,2,3,4})",
                                 "GetSystemMetrics(0)",
                                 "GetWindowText(w1)",
                             }));
    EXPECT_EQ(user_.Calls("InvalidateRect").size(), 1u);
}

}  // namespace
}  // namespace qmk::platform
