// A server that cannot make what the program asks for: the X11 backends
// report it as the platform does (a 0 handle), the drawing layer raises
// EOutOfResources from it, and no asynchronous X error is left to reach the
// process's error handler later.
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

// Before any X header: Xlib's macros (None, ...) clash with names of the
// window seam.
#include "graphics/Bitmap.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/User.h"
#include "platform/x11/XvfbServer.h"
#include "runtime/Errors.h"

#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11User.h"
#include "support/Readable.h"

namespace qmk::platform::x11::testing {
namespace {

// Errors that got past the backend's traps.
int StrayErrors = 0;
int CountError(Display*, XErrorEvent*) {
    ++StrayErrors;
    return 0;
}

// The private server's address space is limited: it runs as usual, but a
// pixmap of a gigabyte does not fit.
constexpr std::uint64_t ServerMemory = 400ull << 20;
constexpr std::int32_t HugeSide = 16000;  // 16000 x 16000 x 4 bytes

// Under user-mode emulation (the tests of a cross build) the emulator keeps
// an address-space limit to itself instead of passing it on to the server
// it starts, so that server can make the huge pixmap.
#if defined(QMK_TEST_EMULATOR)
constexpr bool ServerMemoryIsLimited = false;
#else
constexpr bool ServerMemoryIsLimited = true;
#endif

class X11OutOfResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        XvfbServer::Options options;
        options.MemoryLimit = ServerMemory;
        server_ = new XvfbServer(options);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    X11OutOfResourcesTest()
        : display_(std::make_unique<X11Display>(server_->DisplayName().c_str())),
          gdi_(std::make_unique<X11Gdi>(*display_)) {
        StrayErrors = 0;
        previous_ = XSetErrorHandler(&CountError);
    }
    ~X11OutOfResourcesTest() override {
        gdi_.reset();
        XSync(display_->Dpy(), False);
        XSetErrorHandler(previous_);
    }

    // Every request answered, so any error of them has come in.
    int ErrorsSoFar() {
        XSync(display_->Dpy(), False);
        return StrayErrors;
    }

    static inline XvfbServer* server_ = nullptr;
    std::unique_ptr<X11Display> display_;
    std::unique_ptr<X11Gdi> gdi_;
    XErrorHandler previous_ = nullptr;
};

TEST_F(X11OutOfResourcesTest, APixmapTheServerCannotMakeIsAZeroHandle) {
    if (!ServerMemoryIsLimited) GTEST_SKIP() << "the emulator does not limit the server's memory";
    const DcHandle screen = gdi_->GetDC(0);
    EXPECT_EQ(gdi_->CreateCompatibleBitmap(screen, HugeSide, HugeSide), 0u);
    EXPECT_EQ(gdi_->CreateBitmap(HugeSide, HugeSide, 1, 32, nullptr), 0u);
    EXPECT_EQ(ErrorsSoFar(), 0);

    // The server is still fine for what fits.
    const ObjectHandle small = gdi_->CreateCompatibleBitmap(screen, 10, 10);
    ASSERT_NE(small, 0u);
    const DcHandle memory = gdi_->CreateCompatibleDC(screen);
    ASSERT_NE(memory, 0u);
    const ObjectHandle previous = gdi_->SelectObject(memory, small);
    gdi_->SetPixel(memory, 3, 4, 0x00123456);
    EXPECT_EQ(gdi_->GetPixel(memory, 3, 4), 0x00123456u);
    gdi_->SelectObject(memory, previous);
    gdi_->DeleteDC(memory);
    gdi_->DeleteObject(small);
    gdi_->ReleaseDC(0, screen);
    EXPECT_EQ(ErrorsSoFar(), 0);
}

TEST_F(X11OutOfResourcesTest, ABitmapTooBigForTheServerRaisesAndKeepsItsImage) {
    if (!ServerMemoryIsLimited) GTEST_SKIP() << "the emulator does not limit the server's memory";
    const ScopedBackend backend({gdi_.get(), nullptr, nullptr});
    InitializeGraphics();
    {
        TBitmap bitmap;
        bitmap.SetWidth(20);
        bitmap.SetHeight(HugeSide);
        ASSERT_FALSE(bitmap.IsEmpty());
        bitmap.Canvas().WritePixel(1, 1, 0x00000080);
        try {
            bitmap.SetWidth(HugeSide);
            ADD_FAILURE() << "no error";
        } catch (const EOutOfResources& error) {
            EXPECT_EQ(test::Readable(error.Message()), "ｼｽﾃﾑ ﾘｿｰｽが足りません");
        }
        EXPECT_EQ(bitmap.GetWidth(), 20);
        EXPECT_EQ(bitmap.GetHeight(), HugeSide);
        EXPECT_EQ(bitmap.Canvas().ReadPixel(1, 1), 0x00000080);
        ReleaseDrawingContexts();
    }
    EXPECT_EQ(ErrorsSoFar(), 0);
}

// A window whose parent another client destroyed cannot be made; the
// caller gets a 0 (and the framework its error) instead of an id that
// names nothing.
TEST_F(X11OutOfResourcesTest, AWindowTheServerRefusesIsAZeroHandle) {
    X11User user(*display_);
    CreateWindowParams top;
    top.Width = 50;
    top.Height = 40;
    top.Title = "top";
    const WindowHandle parent = user.CreateWindow(top);
    ASSERT_NE(parent, 0u);

    Display* other = XOpenDisplay(server_->DisplayName().c_str());
    ASSERT_NE(other, nullptr);
    XDestroyWindow(other, static_cast<Window>(parent));
    XSync(other, False);
    XCloseDisplay(other);

    CreateWindowParams child;
    child.Parent = parent;
    child.Style = ws::Child | ws::Visible;
    child.Width = 10;
    child.Height = 10;
    EXPECT_EQ(user.CreateWindow(child), 0u);
}

}  // namespace
}  // namespace qmk::platform::x11::testing
