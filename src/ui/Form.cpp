#include "ui/Form.h"

#include <algorithm>

#include "graphics/Color.h"
#include "platform/Platform.h"
#include "runtime/MulDiv.h"
#include "runtime/ProgramTexts.h"
#include "ui/Application.h"
#include "ui/ControlClasses.h"
#include "ui/DeviceContext.h"
#include "ui/Fonts.h"
#include "ui/StylePainter.h"

namespace qmk {

namespace {

struct TFrame {
    std::int32_t Left = 0;  // frame width on each side
    std::int32_t Top = 0;   // frame and caption above the client area
    std::int32_t Bottom = 0;
};

// The dialog frame at the current system metrics (X11 reports it as 0: the
// window manager adds its own frame outside the client window).
TFrame DialogFrame() {
    auto& user = platform::UserApi();
    const std::int32_t cx = user.GetSystemMetrics(platform::metric::CxDlgFrame);
    const std::int32_t cy = user.GetSystemMetrics(platform::metric::CyDlgFrame);
    const std::int32_t caption = user.GetSystemMetrics(platform::metric::CyCaption);
    return {cx, cy + caption, cy};
}

std::string HandlerMissing(const std::string& name) {
    return texts::FormatText(texts::HandlerMissing.Cp932, {name});
}

}  // namespace

TForm::TForm(std::string name) : TWinControl(std::move(name)) {
    SetVisible(false);
    SetColor(clBtnFace);
    SetBounds(0, 0, 320, 240);
    pixelsPerInch_ = CurrentApplication() != nullptr ? Screen().PixelsPerInch() : 96;
    if (TApplication* application = CurrentApplication()) application->FormCreated(this);
}

TForm::~TForm() {
    if (TApplication* application = CurrentApplication()) application->FormDestroyed(this);
    DestroyHandle();
    activeControl_ = nullptr;
    while (!components_.empty()) components_.pop_back();
}

// ------------------------------------------------------------- description

void TForm::ReadDescription(const TFormDescription& description) {
    BeginReading();
    ApplyFormProperties(description);
    for (const TControlDescription& control : description.Controls) ReadControl(control);
    if (!description.ActiveControl.empty()) {
        auto* active = dynamic_cast<TWinControl*>(FindComponent(description.ActiveControl));
        if (active == nullptr) throw EResNotFound(description.ActiveControl);
        activeControl_ = active;
    }
    EndReading();
    for (auto& component : components_) component->EndReading();

    std::int32_t clientWidth = description.ClientWidth;
    std::int32_t clientHeight = description.ClientHeight;
    AdaptToScreen(clientWidth, clientHeight);
    SetClientSize(clientWidth, clientHeight);

    Loaded();
    for (auto& component : components_) component->Loaded();

    if (OnCreate) {
        if (TApplication* application = CurrentApplication()) {
            application->HandleInFrame([this] { OnCreate(*this); });
        } else {
            OnCreate(*this);
        }
    }
}

TNotifyEvent TForm::NotifyHandler(const std::string& name) const {
    const auto it = notifyHandlers_.find(name);
    if (it == notifyHandlers_.end()) throw EResNotFound(HandlerMissing(name));
    return it->second;
}

void TForm::ApplyFormProperties(const TFormDescription& description) {
    SetName(description.Name);
    SetCaption(description.Caption);
    SetBounds(description.Left, description.Top, Width(), Height());
    position_ = description.Position;
    borderStyle_ = description.BorderStyle;
    SetColor(description.Color);
    ChangeFont([&description](TFont& font) { ApplyFontDescription(font, description.Font); });
    SetIcon(description.Icon);
    pixelsPerInch_ = description.PixelsPerInch;
    textHeight_ = description.TextHeight;
    for (const auto& [event, handler] : description.Events) {
        if (event == "OnCreate") {
            OnCreate = NotifyHandler(handler);
        } else if (event == "OnClose") {
            const auto it = closeHandlers_.find(handler);
            if (it == closeHandlers_.end()) throw EResNotFound(HandlerMissing(handler));
            OnClose = it->second;
        } else {
            throw EResNotFound(HandlerMissing(event));
        }
    }
}

void TForm::ReadControl(const TControlDescription& description) {
    std::unique_ptr<TControl> created = CreateControlOfClass(description.ClassName);
    TControl& control = *created;
    components_.push_back(std::move(created));
    control.BeginReading();
    control.SetName(description.Name);
    TWinControl* parent = this;
    if (!description.Parent.empty() && description.Parent != Name()) {
        parent = dynamic_cast<TWinControl*>(FindComponent(description.Parent));
        if (parent == nullptr) throw EResNotFound(description.Parent);
    }
    control.SetParent(parent);
    control.SetBounds(description.Left, description.Top, description.Width, description.Height);
    control.ReadProperties(description);
    for (const auto& [event, handler] : description.Events) {
        if (event != "OnClick") throw EResNotFound(HandlerMissing(event));
        control.OnClick = NotifyHandler(handler);
    }
    if (const auto it = binders_.find(description.Name); it != binders_.end()) it->second(&control);
}

TControl* TForm::FindComponent(const std::string& name) const {
    for (const auto& component : components_) {
        if (component->Name() == name) return component.get();
    }
    return nullptr;
}

TControl& TForm::InsertComponent(std::unique_ptr<TControl> control) {
    components_.push_back(std::move(control));
    return *components_.back();
}

// ------------------------------------------------------------ AdaptToScreen

std::int32_t TForm::MeasureTextHeight() {
    auto& gdi = platform::GdiApi();
    const platform::WindowHandle window = Handle();
    const platform::DcHandle dc = gdi.GetDC(window);
    if (dc == 0) return 0;
    platform::Size size;
    bool measured = false;
    {
        TSelectedObject font(dc, FontHandle(Font()));
        measured = gdi.GetTextExtentPoint(dc, "0", 1, &size);
    }
    gdi.ReleaseDC(window, dc);
    return measured ? size.Cy : 0;
}

void TForm::AdaptToScreen(std::int32_t& clientWidth, std::int32_t& clientHeight) {
    const std::int32_t screenPixels = Screen().PixelsPerInch();
    if (screenPixels != pixelsPerInch_) {
        const std::int32_t height = MulDiv(FontHeight(Font()), screenPixels, pixelsPerInch_);
        ChangeFont([height](TFont& font) { SetFontHeight(font, height); });
    }
    pixelsPerInch_ = screenPixels;
    const std::int32_t measured = MeasureTextHeight();
    // A failed measurement (0) would shrink every control to nothing; the
    // design size is the better guess then.
    if (measured <= 0 || measured == textHeight_) return;
    const std::int32_t m = measured;
    const std::int32_t d = textHeight_;
    for (TControl* child : std::vector<TControl*>(Controls())) child->ChangeScale(m, d, screenPixels);
    clientWidth = MulDiv(clientWidth, m, d);
    clientHeight = MulDiv(clientHeight, m, d);
    textHeight_ = measured;
}

// ---------------------------------------------------------------- geometry

std::int32_t TForm::ClientWidth() const {
    const TFrame frame = DialogFrame();
    return Width() - 2 * frame.Left;
}

std::int32_t TForm::ClientHeight() const {
    const TFrame frame = DialogFrame();
    return Height() - frame.Top - frame.Bottom;
}

void TForm::SetClientSize(std::int32_t width, std::int32_t height) {
    const TFrame frame = DialogFrame();
    SetBounds(Left(), Top(), width + 2 * frame.Left, height + frame.Top + frame.Bottom);
}

void TForm::CreateParams(platform::CreateWindowParams& params) {
    const TFrame frame = DialogFrame();
    params.Parent = 0;
    params.Owner = Application().ApplicationWindow();
    params.Style = borderStyle_ == TBorderStyle::bsDialog ? platform::ws::DialogFrame : 0;
    params.X = Left() + frame.Left;
    params.Y = Top() + frame.Top;
    params.Width = ClientWidth();
    params.Height = ClientHeight();
    params.Background = ColorToColorRef(Color());
    params.Title = Caption();
}

void TForm::HandleCreated() {
    if (!icon_.Empty()) {
        platform::UserApi().SetWindowIcon(Handle(), icon_.Width, icon_.Height, icon_.Argb.data());
    }
}

void TForm::SetIcon(TIconData icon) {
    icon_ = std::move(icon);
    if (HandleAllocated() && !icon_.Empty()) HandleCreated();
}

void TForm::BoundsChanged() {
    if (!HandleAllocated()) return;
    const TFrame frame = DialogFrame();
    platform::UserApi().MoveWindow(Handle(), Left() + frame.Left, Top() + frame.Top, ClientWidth(),
                                   ClientHeight());
}

void TForm::TextChanged() {
    if (HandleAllocated()) platform::UserApi().SetWindowText(Handle(), Caption());
}

void TForm::PaintWindow(platform::DcHandle dc) {
    StylePainter::FillSolid(dc, {0, 0, ClientWidth(), ClientHeight()}, Color());
}

// ------------------------------------------------------------------- focus

void TForm::SetActiveControl(TWinControl* control) {
    if (control == activeControl_) return;
    TWinControl* previous = activeControl_;
    activeControl_ = control;
    if (previous != nullptr) previous->FocusChanged(false);
    if (control != nullptr) control->FocusChanged(true);
}

std::vector<TWinControl*> TForm::TabOrderList() {
    std::vector<TWinControl*> list;
    std::function<void(TWinControl&)> collect = [&](TWinControl& parent) {
        std::vector<TWinControl*> children;
        for (TControl* child : parent.Controls()) {
            if (auto* windowed = dynamic_cast<TWinControl*>(child)) children.push_back(windowed);
        }
        // Controls without a tab order keep their creation order after the others.
        std::stable_sort(children.begin(), children.end(), [](TWinControl* a, TWinControl* b) {
            const auto key = [](TWinControl* c) {
                return c->TabOrder() < 0 ? INT32_MAX : c->TabOrder();
            };
            return key(a) < key(b);
        });
        for (TWinControl* child : children) {
            if (child->TabStop() && child->CanFocus()) list.push_back(child);
            collect(*child);
        }
    };
    collect(*this);
    return list;
}

void TForm::SelectNext(bool forward) {
    const std::vector<TWinControl*> list = TabOrderList();
    if (list.empty()) return;
    const auto it = std::find(list.begin(), list.end(), activeControl_);
    std::size_t index = 0;
    if (it == list.end()) {
        index = forward ? 0 : list.size() - 1;
    } else {
        const std::size_t current = static_cast<std::size_t>(it - list.begin());
        index = forward ? (current + 1) % list.size() : (current + list.size() - 1) % list.size();
    }
    SetActiveControl(list[index]);
}

void TForm::ControlDestroyed(TControl* control) {
    if (activeControl_ == control) activeControl_ = nullptr;
}

// ------------------------------------------------------- showing and closing

void TForm::Show() {
    if (!shownOnce_ && position_ == TPosition::poScreenCenter) {
        // Integer division truncating toward zero, then never off the top left.
        std::int32_t x = (Screen().Width() - Width()) / 2;
        std::int32_t y = (Screen().Height() - Height()) / 2;
        if (x < 0) x = 0;
        if (y < 0) y = 0;
        SetBounds(x, y, Width(), Height());
        // Later showings keep the place.
        position_ = TPosition::poDesigned;
    }
    shownOnce_ = true;
    const platform::WindowHandle window = Handle();
    SetVisible(true);
    showing_ = true;
    platform::UserApi().Activate(window);
    if (TApplication* application = CurrentApplication()) application->SetActiveForm(this);
    if (activeControl_ == nullptr) {
        const std::vector<TWinControl*> list = TabOrderList();
        if (!list.empty()) SetActiveControl(list.front());
    } else {
        activeControl_->FocusChanged(true);
    }
}

void TForm::Hide() {
    SetVisible(false);
    showing_ = false;
}

void TForm::Close() {
    TCloseAction action = TCloseAction::caHide;
    if (OnClose) OnClose(*this, action);
    if (action == TCloseAction::caNone) return;
    TApplication* application = CurrentApplication();
    if (application != nullptr && application->MainForm() == this) {
        // The main form is not hidden: the application ends and destroys it.
        application->Terminate();
    } else if (action == TCloseAction::caHide || action == TCloseAction::caFree) {
        Hide();
    }
}

void TForm::WindowDestroyed() {
    TWinControl::WindowDestroyed();
    showing_ = false;
    active_ = false;
    Close();
}

// ---------------------------------------------------------------- messages

void TForm::HandleMessage(const platform::Message& message) {
    using platform::MessageKind;
    switch (message.Kind) {
    case MessageKind::Close: Close(); break;
    case MessageKind::Activate:
    case MessageKind::Deactivate: {
        const bool active = message.Kind == MessageKind::Activate;
        if (active) {
            if (TApplication* application = CurrentApplication()) application->SetActiveForm(this);
        }
        if (active == active_) break;
        active_ = active;
        // The focused control gains or loses the keyboard with its window:
        // its caret, selection and focus frame show only while it is active.
        if (activeControl_ != nullptr) activeControl_->FocusChanged(active);
        break;
    }
    default: TWinControl::HandleMessage(message); break;
    }
}

void TForm::HandleKey(const platform::Message& message) {
    using namespace platform;
    if (message.Kind == MessageKind::KeyDown) {
        const std::uint32_t modifiers = message.Modifiers;
        if (message.Key == vk::F4 && (modifiers & mod::Alt) != 0) {
            Close();
            return;
        }
        if (message.Key == vk::Tab && (modifiers & (mod::Control | mod::Alt)) == 0) {
            SelectNext((modifiers & mod::Shift) == 0);
            return;
        }
        if (activeControl_ != nullptr && activeControl_->KeyDown(message)) return;
        UnhandledKey(message);
    } else if (message.Kind == MessageKind::KeyUp) {
        if (activeControl_ != nullptr) activeControl_->KeyUp(message);
    }
}

void TForm::UnhandledKey(const platform::Message&) {}

}  // namespace qmk
