// A device bitmap whose pixels live in memory that the X server and the
// program share (MIT-SHM): the server's own pixmap, at the screen's depth,
// drawn into and copied from by requests as any pixmap, while single pixels
// are read and written in place, without a request. This is where a
// graphics driver keeps a device bitmap: a pixel operation is a memory
// access behind a function call, not a message to another process.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

namespace qmk::platform::x11 {

// Whether this connection can have shared pixmaps of the screen's format:
// a local (Unix-domain) connection to a server with MIT-SHM and shared
// pixmaps in ZPixmap format, a TrueColor visual whose pixels take 16 or 32
// bits, and the server's byte order equal to the program's. Asked once per
// connection.
bool SharedPixmapsPossible(Display* display, const Visual* visual, int depth);

// Whether the connection reaches its server through a Unix-domain socket.
// A segment id means nothing to a server elsewhere, and over TCP (ssh's
// forwarding included) it could name somebody else's segment.
bool ConnectionIsLocal(Display* display);

class SharedPixmap {
public:
    // Null when the segment cannot be had (system limits) or the server
    // refuses to attach it (BadAccess, say); the caller then makes an
    // ordinary pixmap. The segment is marked for removal as soon as the
    // server has attached it, so it goes with the last of the two
    // processes, even one that is killed.
    static std::unique_ptr<SharedPixmap> Create(Display* display, Window root, Visual* visual,
                                                int depth, int width, int height);
    ~SharedPixmap();
    SharedPixmap(const SharedPixmap&) = delete;
    SharedPixmap& operator=(const SharedPixmap&) = delete;

    Pixmap Id() const { return pixmap_; }
    // The pixels in the server's layout, for code that measures against
    // the backend with its own loop over them.
    unsigned char* Data() const { return data_; }
    int BytesPerLine() const { return bytesPerLine_; }
    int BytesPerPixel() const { return bytesPerPixel_; }

    // The in-place access assumes that nothing the server was asked to do
    // with this pixmap is still under way: a request that drew into it (or
    // copied from it) marks it, and the next in-place access first waits
    // for the server once. The CPU test's steady state makes no request at
    // all, so it never waits. Coordinates are inside the pixmap (the caller
    // checks against its surface and clip).
    void MarkServerBusy() { serverBusy_ = true; }

    void Write(int x, int y, unsigned long pixel) {
        Settle();
        unsigned char* at = data_ + static_cast<std::ptrdiff_t>(y) * bytesPerLine_;
        if (bytesPerPixel_ == 4) {
            const auto value = static_cast<std::uint32_t>(pixel);
            std::memcpy(at + static_cast<std::ptrdiff_t>(x) * 4, &value, 4);
        } else {
            const auto value = static_cast<std::uint16_t>(pixel);
            std::memcpy(at + static_cast<std::ptrdiff_t>(x) * 2, &value, 2);
        }
    }

    // The pixel value, with the bits above the depth cleared as a read by
    // request returns it.
    unsigned long Read(int x, int y) {
        Settle();
        const unsigned char* at = data_ + static_cast<std::ptrdiff_t>(y) * bytesPerLine_;
        if (bytesPerPixel_ == 4) {
            std::uint32_t value;
            std::memcpy(&value, at + static_cast<std::ptrdiff_t>(x) * 4, 4);
            return value & depthMask_;
        }
        std::uint16_t value;
        std::memcpy(&value, at + static_cast<std::ptrdiff_t>(x) * 2, 2);
        return value & depthMask_;
    }

private:
    SharedPixmap() = default;
    void Settle() {
        if (serverBusy_) {
            XSync(display_, False);
            serverBusy_ = false;
        }
    }

    Display* display_ = nullptr;
    XShmSegmentInfo segment_{};
    bool attached_ = false;
    Pixmap pixmap_ = 0;
    unsigned char* data_ = nullptr;
    int bytesPerLine_ = 0;
    int bytesPerPixel_ = 0;
    std::uint32_t depthMask_ = 0;
    bool serverBusy_ = false;
};

}  // namespace qmk::platform::x11
