#include "graphics/Bitmap.h"

#include <algorithm>

#include "runtime/Errors.h"
#include "runtime/ScopeExit.h"

namespace qmk {

namespace {

std::vector<TBitmapCanvas*>& MemoryContexts() {
    static std::vector<TBitmapCanvas*> list = [] {
        std::vector<TBitmapCanvas*> reserved;
        reserved.reserve(16);
        return reserved;
    }();
    return list;
}

// Drops one share of the image; the last share frees it.
void ReleaseImage(TBitmapImage* image) {
    if (--image->RefCount > 0) return;
    image->ReleaseImageHandles();
    delete image;
}

}  // namespace

// ---------------------------------------------------------------------------
// Image record

void TBitmapImage::ReleaseImageHandles() {
    auto& gdi = platform::GdiApi();
    if (Handle != 0) {
        ReleaseContextsHolding(Handle);
        gdi.DeleteObject(Handle);
    }
    if (Palette != 0) gdi.DeleteObject(Palette);
    Handle = 0;
    Palette = 0;
}

// ---------------------------------------------------------------------------
// Memory contexts

const std::vector<TBitmapCanvas*>& LiveMemoryContexts() { return MemoryContexts(); }

void ReleaseAllMemoryContexts() {
    auto& list = MemoryContexts();
    while (!list.empty()) list.front()->ReleaseContext();
}

void ReleaseContextsHolding(platform::ObjectHandle imageHandle) {
    auto& list = MemoryContexts();
    for (std::size_t i = list.size(); i-- > 0;) {
        if (i >= list.size()) continue;
        TBitmapCanvas* canvas = list[i];
        if (canvas->Bitmap() != nullptr && canvas->Bitmap()->Image().Handle == imageHandle)
            canvas->ReleaseContext();
    }
}

TBitmapCanvas::TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}

TBitmapCanvas::~TBitmapCanvas() { ReleaseContext(); }

void TBitmapCanvas::AcquireHandle() {
    if (bitmap_ == nullptr) return;
    const TBitmapImage& image = bitmap_->Image();
    // A device bitmap can be selected into one context only.
    ReleaseContextsHolding(image.Handle);
    auto& gdi = platform::GdiApi();
    const platform::DcHandle dc = gdi.CreateCompatibleDC(0);
    if (dc == 0) return;
    oldBitmap_ = image.Handle != 0 ? gdi.SelectObject(dc, image.Handle) : 0;
    if (image.Palette != 0) {
        oldPalette_ = gdi.SelectPalette(dc, image.Palette, true);
        gdi.RealizePalette(dc);
    } else {
        oldPalette_ = 0;
    }
    SetHandle(dc);
    MemoryContexts().push_back(this);
}

void TBitmapCanvas::ReleaseContext() {
    // Leaving the list comes first and unconditionally: a canvas whose
    // context was detached some other way must not keep the release loops
    // spinning on it.
    auto& list = MemoryContexts();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    const platform::DcHandle dc = CurrentHandle();
    if (dc == 0) return;
    auto& gdi = platform::GdiApi();
    if (oldBitmap_ != 0) gdi.SelectObject(dc, oldBitmap_);
    if (oldPalette_ != 0) gdi.SelectPalette(dc, oldPalette_, true);
    SetHandle(0);
    gdi.DeleteDC(dc);
}

// ---------------------------------------------------------------------------
// Copies of images

platform::ObjectHandle DuplicatePalette(platform::ObjectHandle palette) {
    if (palette == 0) return 0;
    auto& gdi = platform::GdiApi();
    std::uint16_t count = 0;
    if (!gdi.GetPaletteEntryCount(palette, count) || count == 0) return 0;
    std::vector<platform::PaletteEntry> entries(count);
    gdi.GetPaletteEntries(palette, 0, count, entries.data());
    return gdi.CreatePalette(entries.data(), count);
}

platform::ObjectHandle CopyImageBitmap(platform::ObjectHandle oldHandle,
                                       platform::ObjectHandle palette, std::int32_t width,
                                       std::int32_t height, TCanvas* canvas, bool monochrome) {
    if (oldHandle == 0 && (width == 0 || height == 0)) return 0;
    auto& gdi = platform::GdiApi();
    const platform::DcHandle screen = gdi.GetDC(0);
    const platform::DcHandle work = gdi.CreateCompatibleDC(screen);
    ScopeExit releaseScreen([&] { gdi.ReleaseDC(0, screen); });
    if (work == 0) throw EOutOfResources(texts::OutOfResources);
    // The new bitmap stays selected into the work context; deleting the
    // context lets go of it.
    ScopeExit deleteWork([&] { gdi.DeleteDC(work); });

    const platform::ObjectHandle created = monochrome ? gdi.CreateBitmap(width, height, 1, 1, nullptr)
                                                      : gdi.CreateCompatibleBitmap(screen, width, height);
    if (created == 0) throw EOutOfResources(texts::OutOfResources);
    const platform::ObjectHandle previous = gdi.SelectObject(work, created);
    ScopeExit deleteCreated([&] {
        gdi.SelectObject(work, previous);
        gdi.DeleteObject(created);
    });
    if (canvas != nullptr) {
        gdi.FillRect(work, platform::Rect{0, 0, width, height}, canvas->Brush().GetHandle());
        gdi.SetTextColor(work, ColorToColorRef(canvas->Font().Color()));
        gdi.SetBkColor(work, ColorToColorRef(canvas->Brush().Color()));
    } else {
        gdi.PatBlt(work, 0, 0, width, height, platform::rop::Whiteness);
    }
    if (oldHandle != 0) {
        const platform::DcHandle old = gdi.CreateCompatibleDC(screen);
        if (old == 0) throw EOutOfResources(texts::OutOfResources);
        ScopeExit deleteOld([&] { gdi.DeleteDC(old); });
        ReleaseContextsHolding(oldHandle);
        const platform::ObjectHandle previousOld = gdi.SelectObject(old, oldHandle);
        if (palette != 0) {
            gdi.SelectPalette(old, palette, true);
            gdi.RealizePalette(old);
            gdi.SelectPalette(work, palette, true);
            gdi.RealizePalette(work);
        }
        if (canvas != nullptr) {
            gdi.SetTextColor(old, ColorToColorRef(canvas->Font().Color()));
            gdi.SetBkColor(old, ColorToColorRef(canvas->Brush().Color()));
        }
        gdi.BitBlt(work, 0, 0, width, height, old, 0, 0, platform::rop::SrcCopy);
        gdi.SelectObject(old, previousOld);
    }
    deleteCreated.Dismiss();
    return created;
}

// ---------------------------------------------------------------------------
// Bitmap

TBitmap::TBitmap() : image_(new TBitmapImage) { image_->RefCount = 1; }

TBitmap::~TBitmap() {
    ReleaseImage(image_);
    image_ = nullptr;
    canvas_.reset();
}

void TBitmap::Assign(const TBitmap& source) {
    if (source.image_ == image_) return;
    if (canvas_) canvas_->ReleaseContext();
    ++source.image_->RefCount;
    TBitmapImage* old = image_;
    image_ = source.image_;
    ReleaseImage(old);
    SignalChange();
}

bool TBitmap::Equals(const TGraphic& other) const {
    const auto* bitmap = dynamic_cast<const TBitmap*>(&other);
    if (bitmap == nullptr) return false;
    if (bitmap->image_ == image_) return true;
    return IsEmpty() && bitmap->IsEmpty() && GetWidth() == bitmap->GetWidth() &&
           GetHeight() == bitmap->GetHeight();
}

void TBitmap::CreateCanvas() {
    canvas_ = std::make_unique<TBitmapCanvas>(this);
    canvas_->OnChange = TChangeEvent::Bind<&TBitmap::CanvasChanged>(this);
    canvas_->OnChanging = TChangeEvent::Bind<&TBitmap::CanvasChanging>(this);
}

void TBitmap::CopySharedImage() {
    RebuildImage(image_->Handle, image_->Palette, image_->Width, image_->Height,
                 image_->Monochrome);
}

void TBitmap::SetWidth(std::int32_t value) {
    if (value == image_->Width) return;
    RebuildImage(image_->Handle, image_->Palette, value, image_->Height, image_->Monochrome);
    SignalChange();
}

void TBitmap::SetHeight(std::int32_t value) {
    if (value == image_->Height) return;
    RebuildImage(image_->Handle, image_->Palette, image_->Width, value, image_->Monochrome);
    SignalChange();
}

void TBitmap::SetMonochrome(bool monochrome) {
    if (monochrome == image_->Monochrome) return;
    RebuildImage(image_->Handle, image_->Palette, image_->Width, image_->Height, monochrome);
    SignalChange();
}

platform::ObjectHandle TBitmap::GetHandle() {
    if (canvas_) canvas_->ReleaseContext();
    UnshareImage();
    return image_->Handle;
}

void TBitmap::RebuildImage(platform::ObjectHandle oldHandle, platform::ObjectHandle oldPalette,
                           std::int32_t width, std::int32_t height, bool monochrome) {
    if (canvas_) canvas_->ReleaseContext();
    const platform::ObjectHandle handle =
        CopyImageBitmap(oldHandle, oldPalette, width, height, canvas_.get(), monochrome);
    auto& gdi = platform::GdiApi();
    ScopeExit deleteHandle([&] {
        if (handle != 0) gdi.DeleteObject(handle);
    });
    const platform::ObjectHandle palette = DuplicatePalette(oldPalette);
    ScopeExit deletePalette([&] {
        if (palette != 0) gdi.DeleteObject(palette);
    });
    ReplaceImage(handle, palette, width, height, monochrome);
    deletePalette.Dismiss();
    deleteHandle.Dismiss();
}

void TBitmap::ReplaceImage(platform::ObjectHandle handle, platform::ObjectHandle palette,
                           std::int32_t width, std::int32_t height, bool monochrome) {
    auto* image = new TBitmapImage;
    image->Handle = handle;
    image->Palette = palette;
    image->Width = width;
    image->Height = height;
    image->Monochrome = monochrome;
    ReleaseImage(image_);
    image_ = image;
    image_->RefCount = 1;
}

void TBitmap::DrawInRect(TCanvas& canvas, const platform::Rect& rect) {
    auto& gdi = platform::GdiApi();
    if (!image_->Monochrome)
        gdi.SetStretchBltMode(canvas.GetHandle(), platform::ColorOnColor);
    // The device is asked whether it could stretch a device-independent
    // picture, as the drawing always has; only loaded pictures have one, and
    // none are loaded here, so the device bitmap is what is drawn.
    if (!(canvas_ && image_->Handle != 0)) {
        gdi.GetDeviceCaps(canvas.GetHandle(), platform::caps::RasterCaps);
    }
    canvas.EnsureState(csAllValid);
    const platform::ObjectHandle palette = image_->Palette;
    platform::ObjectHandle oldPalette = 0;
    if (palette != 0) {
        oldPalette = gdi.SelectPalette(canvas.CurrentHandle(), palette, true);
        gdi.RealizePalette(canvas.CurrentHandle());
    }
    ScopeExit restorePalette([&] {
        if (palette != 0) gdi.SelectPalette(canvas.CurrentHandle(), oldPalette, true);
    });
    TBitmapCanvas& source = Canvas();
    source.EnsureState(csAllValid);
    gdi.StretchBlt(canvas.GetHandle(), rect.Left, rect.Top, rect.Right - rect.Left,
                   rect.Bottom - rect.Top, source.CurrentHandle(), 0, 0, image_->Width,
                   image_->Height, canvas.CopyMode());
}

}  // namespace qmk
