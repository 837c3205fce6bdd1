#include "ui/Control.h"

#include <algorithm>

#include "graphics/Color.h"
#include "graphics/ControlCanvas.h"
#include "platform/Platform.h"
#include "runtime/Errors.h"
#include "runtime/MulDiv.h"
#include "ui/Application.h"
#include "ui/DeviceContext.h"
#include "ui/Fonts.h"
#include "ui/Form.h"
#include "ui/FormDescription.h"

namespace qmk {

namespace {

bool Intersects(const platform::Rect& a, const platform::Rect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

}  // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(std::string name) : name_(std::move(name)) {}

TControl::~TControl() {
    if (TApplication* application = CurrentApplication()) {
        if (application->Capture() == this) application->SetCapture(nullptr);
    }
    if (TForm* form = ParentForm(); form != nullptr && form != this) form->ControlDestroyed(this);
    SetParent(nullptr);
}

TCanvasControl* TControl::CanvasParent() const { return parent_; }

TForm* TControl::ParentForm() {
    TControl* control = this;
    while (control->parent_ != nullptr) control = control->parent_;
    return dynamic_cast<TForm*>(control);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_ != nullptr) {
        Invalidate();
        auto& siblings = parent_->controls_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    parent_ = parent;
    if (parent_ != nullptr) {
        parent_->controls_.push_back(this);
        if (parentFont_) CopyFont(font_, parent_->font_);
        if (parentColor_) color_ = parent_->color_;
        // A windowed control joining a parent on the screen shows at once.
        if (auto* windowed = dynamic_cast<TWinControl*>(this); windowed && parent_->HandleAllocated()) {
            windowed->Handle();
        }
        Invalidate();
    }
}

void TControl::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                         std::int32_t height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    if (!IsWindowed()) Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged();
    if (!IsWindowed()) Invalidate();
}

void TControl::ChangeFont(const std::function<void(TFont&)>& change) {
    change(font_);
    parentFont_ = false;
    FontChanged();
}

void TControl::SetParentFont(bool value) {
    parentFont_ = value;
    if (parentFont_ && parent_ != nullptr) {
        CopyFont(font_, parent_->font_);
        FontChanged();
    }
}

void TControl::FontChanged() {
    if (auto* self = dynamic_cast<TWinControl*>(this)) {
        for (TControl* child : self->controls_) child->ParentFontChanged();
    }
    Invalidate();
}

void TControl::ParentFontChanged() {
    if (!parentFont_ || parent_ == nullptr) return;
    CopyFont(font_, parent_->font_);
    FontChanged();
}

void TControl::SetColor(TColor color) {
    parentColor_ = false;
    if (color == color_) return;
    color_ = color;
    ColorChanged();
}

void TControl::SetParentColor(bool value) {
    parentColor_ = value;
    if (parentColor_ && parent_ != nullptr && color_ != parent_->color_) {
        color_ = parent_->color_;
        ColorChanged();
    }
}

void TControl::ColorChanged() {
    if (auto* self = dynamic_cast<TWinControl*>(this)) {
        for (TControl* child : self->controls_) child->ParentColorChanged();
    }
    Invalidate();
}

void TControl::ParentColorChanged() {
    if (!parentColor_ || parent_ == nullptr || color_ == parent_->color_) return;
    color_ = parent_->color_;
    ColorChanged();
}

void TControl::ReadAppearance(const TControlDescription& description) {
    if (description.Color) SetColor(*description.Color);
    if (description.ParentColor) SetParentColor(*description.ParentColor);
    if (description.Font) {
        ChangeFont([&description](TFont& font) { ApplyFontDescription(font, *description.Font); });
    }
    if (description.ParentFont) SetParentFont(*description.ParentFont);
}

void TControl::ReadProperties(const TControlDescription& description) {
    ReadAppearance(description);
    if (description.Caption) SetCaption(*description.Caption);
}

void TControl::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    TextChanged();
    Invalidate();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    VisibleChanged();
}

void TControl::VisibleChanged() {
    if (parent_ != nullptr && parent_->HandleAllocated()) {
        const platform::Rect area = BoundsRect();
        platform::UserApi().InvalidateRect(parent_->handle_, &area);
    }
}

void TControl::Loaded() { loadState_ = TLoadState::Loaded; }

void TControl::ChangeScale(std::int32_t m, std::int32_t d, std::int32_t pixelsPerInch) {
    const std::int32_t left = MulDiv(left_, m, d);
    const std::int32_t top = MulDiv(top_, m, d);
    const std::int32_t width = MulDiv(left_ + width_, m, d) - left;
    const std::int32_t height = MulDiv(top_ + height_, m, d) - top;
    SetBounds(left, top, width, height);
    if (!parentFont_) {
        // Through whole points, so a font scales the way its size is named.
        const std::int32_t points = -MulDiv(FontHeight(font_), 72, pixelsPerInch);
        const std::int32_t scaled = MulDiv(points, m, d);
        const std::int32_t height2 = -MulDiv(scaled, pixelsPerInch, 72);
        ChangeFont([height2](TFont& font) { SetFontHeight(font, height2); });
    }
}

void TControl::Invalidate() {
    if (parent_ == nullptr || !parent_->HandleAllocated() || !visible_) return;
    const platform::Rect area = BoundsRect();
    platform::UserApi().InvalidateRect(parent_->handle_, &area);
}

void TControl::Paint(platform::DcHandle) {}

// ------------------------------------------------------------- TWinControl

TWinControl::TWinControl(std::string name) : TControl(std::move(name)) {}

TWinControl::~TWinControl() {
    DestroyHandle();
    for (TControl* child : controls_) child->parent_ = nullptr;
    controls_.clear();
}

platform::DcHandle TWinControl::AcquireDeviceContext(platform::WindowHandle& window) {
    window = Handle();
    return AcquireWindowDeviceContext(window);
}

platform::WindowHandle TWinControl::Handle() {
    if (handle_ == 0) CreateHandle();
    return handle_;
}

void TWinControl::CreateHandle() {
    if (Parent() != nullptr) Parent()->Handle();
    if (handle_ != 0) return;  // the parent's creation made this one too
    platform::CreateWindowParams params;
    CreateParams(params);
    const platform::WindowHandle window = platform::UserApi().CreateWindow(params);
    if (window == 0) throw EOutOfResources(texts::WindowCreationFailed);
    handle_ = window;
    standard_ = params.Kind != platform::WindowKind::Plain;
    Application().RegisterWindow(handle_, this);
    HandleCreated();
    for (TControl* child : controls_) {
        if (auto* windowed = dynamic_cast<TWinControl*>(child); windowed && !windowed->handle_) {
            windowed->CreateHandle();
        }
    }
}

void TWinControl::CreateParams(platform::CreateWindowParams& params) {
    params.Parent = Parent() != nullptr ? Parent()->Handle() : 0;
    params.Style = platform::ws::Child | (Visible() ? platform::ws::Visible : 0);
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    params.Background = ColorToColorRef(Color());
    params.Title = Caption();
}

void TWinControl::ReadTabOrder(const TControlDescription& description) {
    if (description.TabOrder) SetTabOrder(*description.TabOrder);
    if (description.TabStop) SetTabStop(*description.TabStop);
}

void TWinControl::ReadProperties(const TControlDescription& description) {
    TControl::ReadProperties(description);
    ReadTabOrder(description);
}

void TWinControl::DestroyHandle() {
    if (handle_ == 0) return;
    for (TControl* child : controls_) {
        if (auto* windowed = dynamic_cast<TWinControl*>(child)) windowed->DestroyHandle();
    }
    // A canvas may still hold this window's context.
    ReleaseAllWindowContexts();
    const platform::WindowHandle window = handle_;
    handle_ = 0;
    standard_ = false;
    if (TApplication* application = CurrentApplication()) application->UnregisterWindow(window);
    platform::UserApi().DestroyWindow(window);
}

void TWinControl::WindowDestroyed() { ForgetHandle(); }

void TWinControl::ForgetHandle() {
    if (handle_ == 0) return;
    for (TControl* child : controls_) {
        if (auto* windowed = dynamic_cast<TWinControl*>(child)) windowed->ForgetHandle();
    }
    ReleaseAllWindowContexts();
    if (TApplication* application = CurrentApplication()) application->UnregisterWindow(handle_);
    handle_ = 0;
    standard_ = false;
}

bool TWinControl::CanFocus() {
    for (TControl* control = this; control != nullptr; control = control->Parent()) {
        if (!control->Visible()) return false;
    }
    TForm* form = ParentForm();
    return form != nullptr && form != this;
}

bool TWinControl::Focused() {
    TForm* form = ParentForm();
    return form != nullptr && form->ActiveControl() == this;
}

bool TWinControl::ShowsFocus() {
    TForm* form = ParentForm();
    return form != nullptr && form->Active() && form->ActiveControl() == this;
}

void TWinControl::SetFocus() {
    if (TForm* form = ParentForm(); form != nullptr && form != this) form->SetActiveControl(this);
}

void TWinControl::FocusChanged(bool focused) {
    // A standard control shows its focus itself, where the system's
    // keyboard focus is: that is where it has to go.
    // A form not on the screen takes no focus: its showing brings it.
    if (standard_) {
        TForm* form = ParentForm();
        if (focused && form != nullptr && form->Showing()) platform::UserApi().SetFocus(handle_);
        return;
    }
    Invalidate();
}

void TWinControl::Invalidate() {
    if (handle_ != 0) platform::UserApi().InvalidateRect(handle_, nullptr);
}

void TWinControl::Repaint() {
    if (handle_ == 0) return;
    PaintArea({0, 0, Width(), Height()});
    platform::UserApi().Flush();
}

void TWinControl::ChangeScale(std::int32_t m, std::int32_t d, std::int32_t pixelsPerInch) {
    for (TControl* child : controls_) child->ChangeScale(m, d, pixelsPerInch);
    TControl::ChangeScale(m, d, pixelsPerInch);
}

void TWinControl::BoundsChanged() {
    if (handle_ != 0) platform::UserApi().MoveWindow(handle_, Left(), Top(), Width(), Height());
}

void TWinControl::VisibleChanged() {
    if (handle_ != 0) platform::UserApi().ShowWindow(handle_, Visible());
}

void TWinControl::HandleMessage(const platform::Message& message) {
    using platform::MessageKind;
    switch (message.Kind) {
    case MessageKind::Paint: PaintArea(message.Area); break;
    case MessageKind::ButtonDown: MouseDown(message); break;
    case MessageKind::ButtonUp: MouseUp(message); break;
    case MessageKind::MouseMove: MouseMove(message); break;
    // The user or the system put the keyboard focus on a standard control:
    // the form follows.
    case MessageKind::FocusIn: SetFocus(); break;
    default: break;
    }
}

bool TWinControl::KeyDown(const platform::Message&) { return false; }
bool TWinControl::KeyUp(const platform::Message&) { return false; }
void TWinControl::MouseDown(const platform::Message&) {}
void TWinControl::MouseUp(const platform::Message&) {}
void TWinControl::MouseMove(const platform::Message&) {}
void TWinControl::PaintWindow(platform::DcHandle) {}

void TWinControl::PaintArea(const platform::Rect& area) {
    // The system paints its standard controls.
    if (handle_ == 0 || standard_) return;
    {
        TWindowDC dc(handle_);
        platform::GdiApi().IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
        PaintWindow(dc);
    }
    // Copy the list: a handler run by painting must not upset the walk.
    const std::vector<TControl*> children = controls_;
    for (TControl* child : children) {
        if (child->IsWindowed() || !child->Visible() || child->Width() <= 0 ||
            child->Height() <= 0 || !Intersects(child->BoundsRect(), area)) {
            continue;
        }
        TWindowDC dc(handle_);
        auto& gdi = platform::GdiApi();
        gdi.IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
        gdi.SetViewportOrgEx(dc, child->Left(), child->Top(), nullptr);
        gdi.IntersectClipRect(dc, 0, 0, child->Width(), child->Height());
        child->Paint(dc);
    }
}

}  // namespace qmk
