#include "platform/Platform.h"

#include <cstdio>

namespace qmk::platform {

namespace detail {
Gdi* CurrentGdi = nullptr;
User* CurrentUser = nullptr;
Kernel* CurrentKernel = nullptr;
}  // namespace detail

Backend Install(const Backend& backend) {
    Backend previous{detail::CurrentGdi, detail::CurrentUser, detail::CurrentKernel};
    if (backend.GdiPart != nullptr) detail::CurrentGdi = backend.GdiPart;
    if (backend.UserPart != nullptr) detail::CurrentUser = backend.UserPart;
    if (backend.KernelPart != nullptr) detail::CurrentKernel = backend.KernelPart;
    return previous;
}

const char* PixelAccessName(PixelAccess access) {
    switch (access) {
        case PixelAccess::SharedMemory: return "shared-memory";
        case PixelAccess::Protocol: return "protocol";
        case PixelAccess::SystemGdi: return "gdi";
        case PixelAccess::InMemory: return "in-memory";
        case PixelAccess::Unknown: break;
    }
    return "unknown";
}

void Restore(const Backend& backend) {
    detail::CurrentGdi = backend.GdiPart;
    detail::CurrentUser = backend.UserPart;
    detail::CurrentKernel = backend.KernelPart;
}

namespace {

bool WriteBytes(StandardStream stream, std::string_view text) {
    std::FILE* file = stream == StandardStream::Output ? stdout : stderr;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fflush(file) == 0 && written;
}

TextWriter CurrentWriter = &WriteBytes;

}  // namespace

bool WriteText(StandardStream stream, std::string_view text) { return CurrentWriter(stream, text); }

TextWriter InstallTextWriter(TextWriter writer) {
    const TextWriter previous = CurrentWriter;
    CurrentWriter = writer != nullptr ? writer : &WriteBytes;
    return previous;
}

}  // namespace qmk::platform
