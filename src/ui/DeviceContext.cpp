#include "ui/DeviceContext.h"

#include "platform/Platform.h"
#include "runtime/Errors.h"

namespace qmk {

TWindowDC::TWindowDC(platform::WindowHandle window)
    : window_(window), dc_(platform::GdiApi().GetDC(window)) {
    if (dc_ == 0) throw EOutOfResources(texts::NoDeviceContext);
}

TWindowDC::~TWindowDC() { platform::GdiApi().ReleaseDC(window_, dc_); }

TSelectedObject::TSelectedObject(platform::DcHandle dc, platform::ObjectHandle object)
    : dc_(dc), previous_(object != 0 ? platform::GdiApi().SelectObject(dc, object) : 0) {}

TSelectedObject::~TSelectedObject() {
    if (previous_ != 0) platform::GdiApi().SelectObject(dc_, previous_);
}

}  // namespace qmk
