// A top-level window with its controls, built from a window description.
// A form class names its event handlers and its component fields before it
// reads its description:
//
//   TMyForm::TMyForm() {
//       Bind("StartButton", StartButton);
//       Handler("StartButtonClick", &TMyForm::StartButtonClick);
//       ReadDescription(MyFormDescription());
//   }
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Errors.h"
#include "ui/Control.h"
#include "ui/FormDescription.h"
#include "ui/Icon.h"

namespace qmk {

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TControl& Sender, TCloseAction& Action)>;

class TForm : public TWinControl {
public:
    explicit TForm(std::string name = {});
    ~TForm() override;

    TForm* ParentForm() override { return this; }

    // Builds the form: the form's properties, then every control in
    // description order with all its properties (the client size held
    // back), AdaptToScreen, the client size, Loaded for everything, then
    // OnCreate (an error escaping it is reported and creation goes on).
    void ReadDescription(const TFormDescription& description);

    // Fits a form laid out at its PixelsPerInch and TextHeight to the
    // screen; clientWidth × clientHeight is the held-back client size, which
    // is returned rescaled.
    void AdaptToScreen(std::int32_t& clientWidth, std::int32_t& clientHeight);

    std::int32_t ClientWidth() const;
    std::int32_t ClientHeight() const;
    void SetClientSize(std::int32_t width, std::int32_t height);

    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style) { borderStyle_ = style; }
    std::int32_t PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(std::int32_t value) { pixelsPerInch_ = value; }
    std::int32_t TextHeight() const { return textHeight_; }
    void SetTextHeight(std::int32_t value) { textHeight_ = value; }
    const TIconData& Icon() const { return icon_; }
    void SetIcon(TIconData icon);

    // The control that has (or gets, when the form shows) the focus.
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    // Tab stops of the form in tab order (depth first, by TabOrder).
    std::vector<TWinControl*> TabOrderList();
    // Moves the focus to the next (or previous) tab stop.
    void SelectNext(bool forward);

    // Shows the form (centred at its first showing when asked to), activates
    // it and focuses its active control.
    void Show();
    void Hide();
    // The close path: OnClose with an action that starts as hide; the main
    // form then ends the application.
    void Close();
    bool Active() const { return active_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool Showing() const { return showing_; }

    // Components read from the description, owned by the form.
    TControl* FindComponent(const std::string& name) const;
    template <class C>
    C& Component(const std::string& name) const {
        auto* control = dynamic_cast<C*>(FindComponent(name));
        if (control == nullptr) throw EResNotFound("component " + name);
        return *control;
    }
    TControl& InsertComponent(std::unique_ptr<TControl> control);

    // Handler and field registration for ReadDescription.
    template <class F>
    void Handler(const std::string& name, void (F::*method)(TControl&)) {
        F* self = static_cast<F*>(this);
        notifyHandlers_[name] = [self, method](TControl& sender) { (self->*method)(sender); };
    }
    template <class F>
    void Handler(const std::string& name, void (F::*method)(TControl&, TCloseAction&)) {
        F* self = static_cast<F*>(this);
        closeHandlers_[name] = [self, method](TControl& sender, TCloseAction& action) {
            (self->*method)(sender, action);
        };
    }
    template <class C>
    void Bind(const std::string& name, C*& field) {
        C** target = &field;
        binders_[name] = [target](TControl* control) { *target = dynamic_cast<C*>(control); };
    }

    TNotifyEvent OnCreate;
    TCloseEvent OnClose;

    // A form whose window another program destroyed is closed, as when the
    // user closes it.
    void WindowDestroyed() override;

    // Messages the form handles itself; keyboard messages of any of its
    // windows come here first.
    void HandleMessage(const platform::Message& message) override;
    void HandleKey(const platform::Message& message);

protected:
    void CreateParams(platform::CreateWindowParams& params) override;
    void HandleCreated() override;
    void PaintWindow(platform::DcHandle dc) override;
    void BoundsChanged() override;
    void TextChanged() override;
    // A key the focused control did not use.
    virtual void UnhandledKey(const platform::Message& message);
    void ControlDestroyed(TControl* control);

    friend class TControl;
    friend class TWinControl;

private:
    TNotifyEvent NotifyHandler(const std::string& name) const;
    void ApplyFormProperties(const TFormDescription& description);
    void ReadControl(const TControlDescription& description);
    void ForEachControl(TWinControl& parent, const std::function<void(TControl&)>& action);
    std::int32_t MeasureTextHeight();
    void ShowFirstTime();

    std::vector<std::unique_ptr<TControl>> components_;
    std::map<std::string, TNotifyEvent> notifyHandlers_;
    std::map<std::string, TCloseEvent> closeHandlers_;
    std::map<std::string, std::function<void(TControl*)>> binders_;
    TWinControl* activeControl_ = nullptr;
    TPosition position_ = TPosition::poDesigned;
    TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
    std::int32_t pixelsPerInch_ = 96;
    std::int32_t textHeight_ = 12;
    TIconData icon_;
    bool active_ = false;
    bool enabled_ = true;
    bool showing_ = false;
    bool shownOnce_ = false;
};

}  // namespace qmk
