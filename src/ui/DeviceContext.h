// A window's device context borrowed for one painting and given back when
// the painting ends, also when it ends by an error.
#pragma once

#include "platform/Types.h"

namespace qmk {

class TWindowDC {
public:
    // Raises EOutOfResources when the platform gives no context.
    explicit TWindowDC(platform::WindowHandle window);
    ~TWindowDC();
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;

    operator platform::DcHandle() const { return dc_; }

private:
    platform::WindowHandle window_;
    platform::DcHandle dc_;
};

// Selects an object into a context for a scope and puts the previous one back.
class TSelectedObject {
public:
    TSelectedObject(platform::DcHandle dc, platform::ObjectHandle object);
    ~TSelectedObject();
    TSelectedObject(const TSelectedObject&) = delete;
    TSelectedObject& operator=(const TSelectedObject&) = delete;

private:
    platform::DcHandle dc_;
    platform::ObjectHandle previous_;
};

}  // namespace qmk
