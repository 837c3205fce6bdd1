#include "platform/Platform.h"

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

void Restore(const Backend& backend) {
    detail::CurrentGdi = backend.GdiPart;
    detail::CurrentUser = backend.UserPart;
    detail::CurrentKernel = backend.KernelPart;
}

}  // namespace qmk::platform
