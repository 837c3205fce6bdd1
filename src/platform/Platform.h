// The installed backend. Start-up (or a test) installs one backend for each
// half of the seam; the rest of the program reaches it through these three
// accessors.
#pragma once

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

}  // namespace qmk::platform
