// The off-screen picture: a device bitmap compatible with the screen, drawn
// on through a memory device context that its canvas makes when a pixel
// operation first needs it and keeps until the framework gives all memory
// contexts back after the current window message. The program holds no
// copy of the pixels itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/Canvas.h"
#include "graphics/Graphic.h"
#include "platform/Platform.h"

namespace qmk {

class TBitmap;

// What several bitmaps may share; freed when the last one lets go.
class TInternalImage {
public:
    virtual ~TInternalImage() = default;
    std::int32_t RefCount = 0;
};

class TBitmapImage : public TInternalImage {
public:
    // Gives back the device bitmap (after every memory context holding it)
    // and the palette.
    virtual void ReleaseImageHandles();

    platform::ObjectHandle Handle = 0;
    platform::ObjectHandle Palette = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool Monochrome = false;
};

// The canvas of a bitmap: its context is a memory device context with the
// bitmap's device bitmap selected.
class TBitmapCanvas final : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* bitmap);
    ~TBitmapCanvas() override;

    // Gives the memory context back (selecting the original objects first).
    void ReleaseContext();

    TBitmap* Bitmap() const { return bitmap_; }
    platform::ObjectHandle OldBitmap() const { return oldBitmap_; }
    platform::ObjectHandle OldPalette() const { return oldPalette_; }

protected:
    void AcquireHandle() override;

private:
    TBitmap* bitmap_;
    platform::ObjectHandle oldBitmap_ = 0;
    platform::ObjectHandle oldPalette_ = 0;
};

class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Shares the source's image; the first change through either canvas
    // makes a private copy.
    void Assign(const TBitmap& source);

    // The bitmap's canvas, made on the first request.
    TBitmapCanvas& Canvas() {
        if (!canvas_) CreateCanvas();
        return *canvas_;
    }
    bool HasCanvas() const { return canvas_ != nullptr; }
    const TBitmapImage& Image() const { return *image_; }

    void DrawInRect(TCanvas& canvas, const platform::Rect& rect) override;
    bool Equals(const TGraphic& other) const override;
    bool IsEmpty() const override { return image_->Handle == 0; }
    std::int32_t GetHeight() const override { return image_->Height; }
    std::int32_t GetWidth() const override { return image_->Width; }
    // A new size keeps the old picture at the top-left corner; a
    // dimension set to its current value changes nothing.
    void SetHeight(std::int32_t value) override;
    void SetWidth(std::int32_t value) override;

    bool Monochrome() const { return image_->Monochrome; }
    void SetMonochrome(bool monochrome);
    bool SkipPalette() const { return skipPalette_; }
    void SetSkipPalette(bool skip) { skipPalette_ = skip; }

    // The device bitmap, for drawing on it without the canvas: the canvas
    // gives its context back first and the image becomes this bitmap's own.
    platform::ObjectHandle GetHandle();

    // Before every change made through the canvas: a shared image is copied
    // so the change stays with this bitmap.
    void UnshareImage() {
        if (image_->RefCount > 1) CopySharedImage();
    }

private:
    void CreateCanvas();
    void CopySharedImage();
    void CanvasChanging(TPersistent*) { UnshareImage(); }
    void CanvasChanged(TPersistent*) { SignalChange(); }
    void RebuildImage(platform::ObjectHandle oldHandle, platform::ObjectHandle oldPalette,
                      std::int32_t width, std::int32_t height, bool monochrome);
    void ReplaceImage(platform::ObjectHandle handle, platform::ObjectHandle palette,
                      std::int32_t width, std::int32_t height, bool monochrome);

    TBitmapImage* image_;
    std::unique_ptr<TBitmapCanvas> canvas_;
    bool skipPalette_ = false;
};

// A new device bitmap of width x height holding the old one's picture at
// its top-left corner; the rest is filled with the canvas's brush, or white
// without a canvas. 0 (and no platform call) when there is no old bitmap
// and a dimension is 0. Raises EOutOfResources, leaving nothing behind.
platform::ObjectHandle CopyImageBitmap(platform::ObjectHandle oldHandle,
                                       platform::ObjectHandle palette, std::int32_t width,
                                       std::int32_t height, TCanvas* canvas, bool monochrome);
// A copy of the palette, or 0 for none or one that cannot be read.
platform::ObjectHandle DuplicatePalette(platform::ObjectHandle palette);

// Bitmap canvases holding a memory context, in the order they made it.
const std::vector<TBitmapCanvas*>& LiveMemoryContexts();
// Gives back every memory context; the framework calls it after each
// window message, after ReleaseAllWindowContexts.
void ReleaseAllMemoryContexts();
// Gives back the memory contexts whose bitmap's image is this device
// bitmap (0 included), newest first.
void ReleaseContextsHolding(platform::ObjectHandle imageHandle);

}  // namespace qmk
