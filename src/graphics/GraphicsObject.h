// The attribute objects of a canvas (font, pen, brush) share this base: a
// cache entry with the platform handle, and a change event that tells the
// canvas to select the object afresh.
#pragma once

#include <cstdint>

#include "graphics/Persistent.h"
#include "graphics/ResourceManager.h"
#include "platform/Platform.h"

namespace qmk {

// Stock objects put back into a device context when a canvas takes its own
// objects out (black pen, hollow brush, system font). Fetched by
// InitializeGraphics.
extern platform::ObjectHandle StockPen;
extern platform::ObjectHandle StockBrush;
extern platform::ObjectHandle StockFont;

class TGraphicsObject : public TPersistent {
public:
    TChangeEvent OnChange;

protected:
    void Changed() {
        if (OnChange) OnChange(this);
    }

    // Moves the object to the entry for the new attributes. The change is
    // reported before the old entry is let go, so a canvas that has the old
    // handle selected puts its stock object back before that handle can be
    // deleted.
    template <class Data>
    void ChangeResource(TResourceManager<Data>& manager, TResource<Data>*& slot, const Data& data) {
        TResource<Data>* old = slot;
        slot = manager.Allocate(data);
        if (slot != old) Changed();
        manager.Free(old);
    }
};

}  // namespace qmk
