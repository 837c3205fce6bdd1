// The installed backend. Start-up (or a test) installs one backend for each
// half of the seam; the rest of the program reaches it through these three
// accessors.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/User.h"

namespace qmk::platform {

namespace detail {
extern Gdi* CurrentGdi;
extern User* CurrentUser;
extern Kernel* CurrentKernel;
}  // namespace detail

inline Gdi& GdiApi() { return *detail::CurrentGdi; }
inline User& UserApi() { return *detail::CurrentUser; }
inline Kernel& KernelApi() { return *detail::CurrentKernel; }

struct Backend {
    Gdi* GdiPart = nullptr;
    User* UserPart = nullptr;
    Kernel* KernelPart = nullptr;
};

// Installs the given parts (null parts leave the current one) and returns
// what was installed before, all three parts.
Backend Install(const Backend& backend);
// Puts back exactly what Install returned, null parts included.
void Restore(const Backend& backend);

// Installs a backend for the lifetime of a scope; tests use it.
class ScopedBackend {
public:
    explicit ScopedBackend(const Backend& backend) : previous_(Install(backend)) {}
    ~ScopedBackend() { Restore(previous_); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

private:
    Backend previous_;
};

// Text for the user on standard output or standard error, in UTF-8: lines,
// results, error messages. Process-wide, as the streams are, and usable
// before any backend part is installed.
enum class StandardStream : std::uint8_t { Output, Error };

// Writes the text and flushes the stream; false, with errno saying why, when
// the stream did not take all of it (a reader that went away). By default
// the bytes go to the C library's stream as they are.
bool WriteText(StandardStream stream, std::string_view text);

// A system whose terminals are not byte streams in UTF-8 (a Windows console
// shows bytes in its own code page) has its backend install its own way to
// write there. Returns the writer installed before; null installs the
// default.
using TextWriter = bool (*)(StandardStream stream, std::string_view text);
TextWriter InstallTextWriter(TextWriter writer);

}  // namespace qmk::platform
