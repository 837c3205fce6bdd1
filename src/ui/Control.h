// The control tree of the framework. TControl is anything placed on a form;
// TGraphicControl draws on its parent's window (labels, the paint box);
// TWinControl owns a platform window and receives messages (the form, the
// button, the memo, the panel).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/CanvasControl.h"
#include "graphics/Color.h"
#include "graphics/Font.h"
#include "platform/Types.h"
#include "platform/User.h"

namespace qmk {

class TControl;
class TWinControl;
struct TControlDescription;
class TForm;

using TNotifyEvent = std::function<void(TControl& Sender)>;

// How far a control built from a window description has come: its
// properties are being read, it waits for the form to finish (the form is
// being fitted to the screen), or it is complete.
enum class TLoadState { Reading, Loading, Loaded };

class TControl : public TCanvasControl {
public:
    explicit TControl(std::string name = {});
    ~TControl() override;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    // TCanvasControl
    TCanvasControl* CanvasParent() const override;
    std::int32_t GetLeft() const override { return left_; }
    std::int32_t GetTop() const override { return top_; }
    std::int32_t GetWidth() const override { return width_; }
    std::int32_t GetHeight() const override { return height_; }
    std::string GetName() const override { return name_; }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);
    // The form this control is placed on (the form itself for a form).
    virtual TForm* ParentForm();

    std::int32_t Left() const { return left_; }
    std::int32_t Top() const { return top_; }
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);
    platform::Rect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }

    // Font: name, height, colour and style. A change made through Font()
    // reaches the control through FontChanged, so callers change the font
    // with ChangeFont.
    const TFont& Font() const { return font_; }
    void ChangeFont(const std::function<void(TFont&)>& change);
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);

    // Caption or text, in code page 932.
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    TLoadState LoadState() const { return loadState_; }
    void BeginReading() { loadState_ = TLoadState::Reading; }
    // Takes the properties of the window description this control's class
    // knows (position, parent and events are the form's to set).
    virtual void ReadProperties(const TControlDescription& description);
    void EndReading() { loadState_ = TLoadState::Loading; }
    // Loading is complete: the control may now react to its properties.
    virtual void Loaded();

    // Rescales position, size and (with its own font) font by m/d, as a form
    // does when the screen's text is larger than the design's.
    virtual void ChangeScale(std::int32_t m, std::int32_t d, std::int32_t pixelsPerInch);

    // Asks for the control's area to be painted again.
    virtual void Invalidate();
    // Paints a windowless control on dc, whose origin is the control's
    // top-left corner and whose clip is the control's area.
    virtual void Paint(platform::DcHandle dc);
    virtual bool IsWindowed() const { return false; }

    TNotifyEvent OnClick;

protected:
    // Colour and font of a description, with whether they follow the parent.
    void ReadAppearance(const TControlDescription& description);

    virtual void BoundsChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void TextChanged() {}
    virtual void VisibleChanged();
    // The parent's font or colour changed: follow it where asked to.
    void ParentFontChanged();
    void ParentColorChanged();

    friend class TWinControl;

private:
    std::string name_;
    TWinControl* parent_ = nullptr;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    TFont font_;
    bool parentFont_ = true;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    std::string caption_;
    bool visible_ = true;
    TLoadState loadState_ = TLoadState::Loaded;
};

// A control without a window of its own.
class TGraphicControl : public TControl {
public:
    using TControl::TControl;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(std::string name = {});
    ~TWinControl() override;

    bool IsWindowed() const override { return true; }
    platform::DcHandle AcquireDeviceContext(platform::WindowHandle& window) override;
    void ReadProperties(const TControlDescription& description) override;

    // The platform window, made on first use (with its parents' windows).
    platform::WindowHandle Handle();
    bool HandleAllocated() const { return handle_ != 0; }
    // Destroys the windows of this control and its children; the control
    // itself stays and makes a new window when one is needed.
    void DestroyHandle();
    // Whether the window is the system's own standard control (which the
    // system paints and runs), not a plain window the framework paints.
    bool StandardControl() const { return standard_; }
    // Another program destroyed the window (and its children's windows):
    // they are forgotten without being destroyed again.
    virtual void WindowDestroyed();

    // Child controls in creation order.
    const std::vector<TControl*>& Controls() const { return controls_; }

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value) { tabStop_ = value; }
    std::int32_t TabOrder() const { return tabOrder_; }
    void SetTabOrder(std::int32_t value) { tabOrder_ = value; }
    bool CanFocus();
    // The form's active control, which holds the keyboard focus while the
    // form is the active window.
    bool Focused();
    // Whether to draw the focus (caret, selection, focus frame): focused,
    // and the form is the active window.
    bool ShowsFocus();
    void SetFocus();

    void Invalidate() override;
    // Paints the whole control now, without waiting for a paint message.
    void Repaint();
    void ChangeScale(std::int32_t m, std::int32_t d, std::int32_t pixelsPerInch) override;

    // Handles one platform message addressed to this control's window. The
    // application calls it inside the message frame.
    virtual void HandleMessage(const platform::Message& message);

    // Keyboard input offered by the form to its focused control; true when
    // the control used the key.
    virtual bool KeyDown(const platform::Message& message);
    virtual bool KeyUp(const platform::Message& message);
    // The mouse was captured by this control and the capture ends (an error
    // box is about to show).
    virtual void CancelMode() {}
    // Focus arrived or left.
    virtual void FocusChanged(bool focused);

protected:
    void ReadTabOrder(const TControlDescription& description);

    virtual void CreateParams(platform::CreateWindowParams& params);
    // The window exists now (its children's windows come next).
    virtual void HandleCreated() {}
    // Paints the control's own client area on dc (origin at the client's
    // top-left); windowless children are painted afterwards.
    virtual void PaintWindow(platform::DcHandle dc);
    virtual void MouseDown(const platform::Message& message);
    virtual void MouseUp(const platform::Message& message);
    virtual void MouseMove(const platform::Message& message);

    void BoundsChanged() override;
    void VisibleChanged() override;
    // Paints the area of a Paint message: the control, then its windowless
    // children, each on its own context clipped to its area.
    void PaintArea(const platform::Rect& area);

    friend class TControl;

private:
    void CreateHandle();
    void ForgetHandle();

    platform::WindowHandle handle_ = 0;
    std::vector<TControl*> controls_;
    bool standard_ = false;
    bool tabStop_ = false;
    std::int32_t tabOrder_ = -1;
};

}  // namespace qmk
