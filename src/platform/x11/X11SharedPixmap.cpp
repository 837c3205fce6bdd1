#include "platform/x11/X11SharedPixmap.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <X11/Xutil.h>

#include "platform/x11/X11ErrorTrap.h"

namespace qmk::platform::x11 {

namespace {

bool HostIsLittleEndian() {
    const std::uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

}  // namespace

bool ConnectionIsLocal(Display* display) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    return address.ss_family == AF_UNIX;
}

bool SharedPixmapsPossible(Display* display, const Visual* visual, int depth) {
    if (visual == nullptr || visual->c_class != TrueColor) return false;
    if (depth != 15 && depth != 16 && depth != 24 && depth != 30) return false;
    if ((ImageByteOrder(display) == LSBFirst) != HostIsLittleEndian()) return false;
    if (!ConnectionIsLocal(display)) return false;
    // Asked first, so that a server without it is no complaint of Xlib's.
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(display, "MIT-SHM", &opcode, &event, &error)) return false;
    int major = 0, minor = 0;
    Bool pixmaps = False;
    if (!XShmQueryVersion(display, &major, &minor, &pixmaps) || !pixmaps) return false;
    if (XShmPixmapFormat(display) != ZPixmap) return false;
    // 24-bit pixels packed into three bytes would need a slower in-place
    // access; such servers keep the protocol path.
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    if (formats == nullptr) return false;
    int bitsPerPixel = 0;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) bitsPerPixel = formats[i].bits_per_pixel;
    XFree(formats);
    return bitsPerPixel == 16 || bitsPerPixel == 32;
}

std::unique_ptr<SharedPixmap> SharedPixmap::Create(Display* display, Window root, Visual* visual,
                                                   int depth, int width, int height) {
    std::unique_ptr<SharedPixmap> shared(new SharedPixmap);
    shared->display_ = display;
    shared->segment_.shmid = -1;
    // The image only tells the layout the server gives a shared pixmap of
    // this size: bytes per line with its scan-line pad, bits per pixel.
    XImage* layout = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap,
                                     nullptr, &shared->segment_, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height));
    if (layout == nullptr) return nullptr;
    shared->bytesPerLine_ = layout->bytes_per_line;
    shared->bytesPerPixel_ = layout->bits_per_pixel / 8;
    XDestroyImage(layout);
    if (shared->bytesPerPixel_ != 2 && shared->bytesPerPixel_ != 4) return nullptr;
    shared->depthMask_ = depth >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << depth) - 1u;

    const std::size_t size = static_cast<std::size_t>(shared->bytesPerLine_) * static_cast<std::size_t>(height);
    shared->segment_.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shared->segment_.shmid < 0) return nullptr;
    void* address = shmat(shared->segment_.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(shared->segment_.shmid, IPC_RMID, nullptr);
        shared->segment_.shmid = -1;
        return nullptr;
    }
    shared->segment_.shmaddr = static_cast<char*>(address);
    shared->segment_.readOnly = False;
    shared->data_ = static_cast<unsigned char*>(address);

    {
        ErrorTrap trap(display);
        XShmAttach(display, &shared->segment_);
        shared->pixmap_ = XShmCreatePixmap(display, root, shared->segment_.shmaddr, &shared->segment_,
                                           static_cast<unsigned>(width), static_cast<unsigned>(height),
                                           static_cast<unsigned>(depth));
        const bool failed = trap.Sync();
        // Attached or refused, the segment is no longer needed by name.
        shmctl(shared->segment_.shmid, IPC_RMID, nullptr);
        if (failed) {
            // Whichever of the two requests went through is undone; their
            // errors land in this trap too.
            if (shared->pixmap_ != 0) XFreePixmap(display, shared->pixmap_);
            XShmDetach(display, &shared->segment_);
            trap.Sync();
            shared->pixmap_ = 0;
            return nullptr;  // the destructor detaches the program's side
        }
    }
    shared->attached_ = true;
    return shared;
}

SharedPixmap::~SharedPixmap() {
    if (attached_) {
        XFreePixmap(display_, pixmap_);
        XShmDetach(display_, &segment_);
    }
    // The server keeps its own mapping until it has handled the detach;
    // the segment goes when both sides have let go of it.
    if (data_ != nullptr) shmdt(data_);
}

}  // namespace qmk::platform::x11
