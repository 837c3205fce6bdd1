// Device bitmaps whose pixels are read and written in shared memory, held
// against the same operations made by request, and the connections that
// must fall back to requests.
#include <csignal>
#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11Gdi.h"
#include "platform/x11/X11SharedPixmap.h"
#include "platform/x11/XvfbServer.h"
#include "runtime/Generator.h"

namespace qmk::platform::x11 {
namespace {

std::unique_ptr<XvfbServer> StartServer(int depth, std::vector<std::string> extra = {}) {
    XvfbServer::Options options;
    options.Depth = depth;
    options.ExtraArguments = std::move(extra);
    return std::make_unique<XvfbServer>(options);
}

std::string TcpName(const XvfbServer& server) { return "localhost" + server.DisplayName(); }

// A memory context holding a new screen-compatible bitmap.
struct Surface {
    Surface(Gdi& gdi, std::int32_t width, std::int32_t height) : Api(gdi) {
        Dc = gdi.CreateCompatibleDC(0);
        Bitmap = gdi.CreateCompatibleBitmap(0, width, height);
        Previous = gdi.SelectObject(Dc, Bitmap);
    }
    ~Surface() {
        Api.SelectObject(Dc, Previous);
        Api.DeleteDC(Dc);
        Api.DeleteObject(Bitmap);
    }
    Gdi& Api;
    DcHandle Dc = 0;
    ObjectHandle Bitmap = 0;
    ObjectHandle Previous = 0;
};

TEST(X11SharedPixmapTest, OnlyLocalTrueColourConnectionsWithSharedPixmapsShareMemory) {
    const struct {
        const char* Name;
        int Depth;
        std::vector<std::string> Arguments;
        bool Tcp;
        PixelAccess Expected;
    } cases[] = {
        {"local, 24 bits", 24, {}, false, PixelAccess::SharedMemory},
        {"local, 16 bits", 16, {}, false, PixelAccess::SharedMemory},
        {"local, 15 bits", 15, {}, false, PixelAccess::SharedMemory},
        {"local, 30 bits", 30, {}, false, PixelAccess::SharedMemory},
        {"TCP, as a remote display", 24, {"-listen", "tcp"}, true, PixelAccess::Protocol},
        {"server without MIT-SHM", 24, {"-extension", "MIT-SHM"}, false, PixelAccess::Protocol},
        {"8-bit pseudo colour", 8, {}, false, PixelAccess::Protocol},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto server = StartServer(c.Depth, c.Arguments);
        X11Display display(c.Tcp ? TcpName(*server).c_str() : server->DisplayName().c_str());
        X11Gdi gdi(display);
        Surface s(gdi, 8, 8);
        ASSERT_NE(s.Bitmap, 0u);
        EXPECT_EQ(gdi.PixelAccessOf(s.Bitmap), c.Expected);
        // Either way the bitmap works, with no error along the way.
        gdi.PatBlt(s.Dc, 0, 0, 8, 8, rop::Whiteness);
        const ColorRef stored = gdi.SetPixel(s.Dc, 1, 2, 0x00123456);
        EXPECT_EQ(gdi.GetPixel(s.Dc, 1, 2), stored);
    }
    EXPECT_EQ(std::string(PixelAccessName(PixelAccess::SharedMemory)), "shared-memory");
    EXPECT_EQ(std::string(PixelAccessName(PixelAccess::Protocol)), "protocol");
}

// Every pixel of a pixmap as the server returns it by request.
std::vector<unsigned long> ServerPixels(X11Display& display, Pixmap pixmap, int width, int height) {
    XImage* image = XGetImage(display.Dpy(), pixmap, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    if (image == nullptr) return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return pixels;
}

TEST(X11SharedPixmapTest, InPlaceAccessGivesWhatRequestsGiveAtEveryDepth) {
    for (const int depth : {15, 16, 24, 30}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const auto server = StartServer(depth, {"-listen", "tcp"});
        X11Display local(server->DisplayName().c_str());
        X11Display remote(TcpName(*server).c_str());
        X11Gdi shared(local), requests(remote);
        Surface a(shared, 16, 16), b(requests, 16, 16);
        ASSERT_EQ(shared.PixelAccessOf(a.Bitmap), PixelAccess::SharedMemory);
        ASSERT_EQ(requests.PixelAccessOf(b.Bitmap), PixelAccess::Protocol);

        // The generator's colours, as the CPU test draws them, and the
        // edges of every channel.
        std::vector<ColorRef> colours = {0x00000000, 0x00FFFFFF, 0x000000FF, 0x0000FF00, 0x00FF0000,
                                         0x00070307, 0x00F8FCF8, 0x1FFFFFFF, 0x80000008};
        GeneratorState = 12345;
        for (int i = 0; i < 200; ++i) colours.push_back(static_cast<ColorRef>(RandomBelow(0x01000000)));
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const auto x = static_cast<std::int32_t>(i % 16), y = static_cast<std::int32_t>(i / 16 % 16);
            EXPECT_EQ(shared.SetPixel(a.Dc, x, y, colours[i]), requests.SetPixel(b.Dc, x, y, colours[i]))
                << std::hex << colours[i];
            EXPECT_EQ(shared.GetPixel(a.Dc, x, y), requests.GetPixel(b.Dc, x, y)) << std::hex << colours[i];
        }
        // Same pixel values in both pixmaps, as the server holds them.
        EXPECT_EQ(ServerPixels(local, shared.PixmapOf(a.Bitmap), 16, 16),
                  ServerPixels(remote, requests.PixmapOf(b.Bitmap), 16, 16));
    }
}

TEST(X11SharedPixmapTest, InPlaceAccessSeesTheServersDrawingAndCopiesSeeInPlaceWrites) {
    const auto server = StartServer(24);
    X11Display display(server->DisplayName().c_str());
    X11Gdi gdi(display);
    Surface s(gdi, 40, 20);
    ASSERT_EQ(gdi.PixelAccessOf(s.Bitmap), PixelAccess::SharedMemory);
    const Pixmap pixmap = gdi.PixmapOf(s.Bitmap);
    const auto expectInPlaceEqualsServer = [&](const char* after) {
        SCOPED_TRACE(after);
        // In place first: the reads must wait for the drawing requested
        // just before, which Xlib may still hold in its buffer.
        std::vector<unsigned long> inPlace;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x) inPlace.push_back(display.PixelFromColorRef(gdi.GetPixel(s.Dc, x, y)));
        EXPECT_EQ(inPlace, ServerPixels(display, pixmap, 40, 20));
    };

    gdi.PatBlt(s.Dc, 0, 0, 40, 20, rop::Blackness);
    expectInPlaceEqualsServer("a fill");
    const ObjectHandle brush = gdi.CreateBrushIndirect(LogBrush{bs::Solid, 0x00336699, 0});
    gdi.FillRect(s.Dc, Rect{3, 3, 30, 15}, brush);
    gdi.DeleteObject(brush);
    EXPECT_EQ(gdi.GetPixel(s.Dc, 3, 3), 0x00336699u);
    expectInPlaceEqualsServer("a brush");
    gdi.SetTextColor(s.Dc, 0x00FFFFFF);
    gdi.SetBkMode(s.Dc, Transparent);
    gdi.ExtTextOut(s.Dc, 2, 2, 0, nullptr, "QMK", 3);
    expectInPlaceEqualsServer("text");
    {
        Surface source(gdi, 10, 10);
        gdi.PatBlt(source.Dc, 0, 0, 10, 10, rop::Whiteness);
        gdi.BitBlt(s.Dc, 25, 5, 10, 10, source.Dc, 0, 0, rop::SrcCopy);
        expectInPlaceEqualsServer("a copy into the bitmap");
    }

    // Written in place, then copied out by the server.
    for (int x = 0; x < 40; ++x) gdi.SetPixel(s.Dc, x, 7, x % 2 ? 0x000000FF : 0x0000FF00);
    Surface copy(gdi, 40, 20);
    gdi.BitBlt(copy.Dc, 0, 0, 40, 20, s.Dc, 0, 0, rop::SrcCopy);
    const auto copied = ServerPixels(display, gdi.PixmapOf(copy.Bitmap), 40, 20);
    ASSERT_EQ(copied.size(), 800u);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(display.ColorRefFromPixel(copied[7 * 40 + x]), x % 2 ? 0x000000FFu : 0x0000FF00u) << x;
}

TEST(X11SharedPixmapTest, AnAttachTheServerRefusesLeavesNoErrorBehind) {
    // Over TCP the server cannot tell who the program is and refuses a
    // segment only its owner may use.
    const auto server = StartServer(24, {"-listen", "tcp"});
    X11Display display(TcpName(*server).c_str());
    static int errors = 0;
    errors = 0;
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) {
        ++errors;
        return 0;
    });
    EXPECT_FALSE(ConnectionIsLocal(display.Dpy()));
    EXPECT_EQ(SharedPixmap::Create(display.Dpy(), display.Root(), display.VisualOf(), 24, 8, 8), nullptr);
    XSync(display.Dpy(), False);
    XSetErrorHandler(previous);
    EXPECT_EQ(errors, 0);
}

// The shared-memory segments a process made that still exist.
std::set<long> SegmentsOf(pid_t creator) {
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line);  // the heading
    std::set<long> ids;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long key = 0, id = 0, perms = 0, size = 0, cpid = 0;
        fields >> key >> id >> perms >> size >> cpid;
        if (cpid == creator) ids.insert(id);
    }
    return ids;
}

TEST(X11SharedPixmapTest, NoSegmentOutlivesItsBitmapOrAKilledProgram) {
    if (!std::ifstream("/proc/sysvipc/shm")) GTEST_SKIP() << "no /proc/sysvipc/shm to look into";
    const auto server = StartServer(24);
    {
        X11Display display(server->DisplayName().c_str());
        auto gdi = std::make_unique<X11Gdi>(display);
        {
            Surface s(*gdi, 30, 30);
            ASSERT_EQ(gdi->PixelAccessOf(s.Bitmap), PixelAccess::SharedMemory);
            EXPECT_EQ(SegmentsOf(getpid()).size(), 1u);
        }
        // A bitmap left behind goes with the backend.
        gdi->CreateCompatibleBitmap(0, 10, 10);
        gdi.reset();
        XSync(display.Dpy(), False);
        EXPECT_TRUE(SegmentsOf(getpid()).empty());
    }

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        X11Display display(server->DisplayName().c_str());
        X11Gdi gdi(display);
        for (int i = 0; i < 3; ++i) gdi.CreateCompatibleBitmap(0, 50, 50);
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(SegmentsOf(child).size(), 3u);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // The server lets go of a dead client's segments when it notices the
    // closed connection; that takes a moment, not a fixed one.
    std::set<long> left = SegmentsOf(child);
    for (int i = 0; i < 600 && !left.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        left = SegmentsOf(child);
    }
    EXPECT_TRUE(left.empty()) << left.size() << " segments left";
}

}  // namespace
}  // namespace qmk::platform::x11
