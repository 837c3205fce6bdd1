#include "ui/DeviceContext.h"

#include "platform/Platform.h"
#include "runtime/Errors.h"

namespace qmk {

namespace {
// ﾃﾞﾊﾞｲｽ ｺﾝﾃｷｽﾄの作成に失敗しました
constexpr char NoDeviceContext[] =
    "\xc3\xde\xca\xde\xb2\xbd\x20\xba\xdd\xc3\xb7\xbd\xc4\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e"
    "\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
}  // namespace

TWindowDC::TWindowDC(platform::WindowHandle window)
    : window_(window), dc_(platform::GdiApi().GetDC(window)) {
    if (dc_ == 0) throw EOutOfResources(NoDeviceContext);
}

TWindowDC::~TWindowDC() { platform::GdiApi().ReleaseDC(window_, dc_); }

TSelectedObject::TSelectedObject(platform::DcHandle dc, platform::ObjectHandle object)
    : dc_(dc), previous_(object != 0 ? platform::GdiApi().SelectObject(dc, object) : 0) {}

TSelectedObject::~TSelectedObject() {
    if (previous_ != 0) platform::GdiApi().SelectObject(dc_, previous_);
}

}  // namespace qmk
