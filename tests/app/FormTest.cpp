// The main window built from its description on the recording backends:
// every property of the window and of each control as the user gets it,
// and the life of WorkBitmap from FormCreate to FormClose.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/QMKForm.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingUser.h"
#include "platform/recording/ScriptedKernel.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "ui/Application.h"
#include "ui/Fonts.h"
#include "support/Readable.h"
#include "ui/Label.h"

namespace qmk::test {
namespace {

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A clock that moves 100 ms a reading, so a run ends after a few
        // dozen readings.
        platform::SystemTime start;
        start.Hour = 10;
        start.Minute = 20;
        kernel_.SetLocalTimeSource(platform::ScriptedKernel::SteppingClock(start, 100));
        ReadLocaleSettings();
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
    }
    void TearDown() override {
        application_.reset();
        GeneratorState = 0;
    }

    TQMKForm& CreateForm() { return application_->CreateForm<TQMKForm>(); }

    platform::RecordingGdi gdi_;
    platform::RecordingUser user_{&gdi_};
    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
};

struct ControlRow {
    const char* Name;
    const char* Parent;  // "" for the window
    int Left, Top, Width, Height;
    std::string Text;      // readable
    std::string FontName;  // readable
    int FontHeight;
    TColor FontColor;
    bool Bold;
    bool ParentFont;
    TColor Color;
    int TabOrder;  // -1: not windowed or none given
};

// The controls as the user must get them, written out independently of the
// description so that a slip in either shows.
const std::vector<ControlRow>& ExpectedControls() {
    const std::string pGothic = "ＭＳ Ｐゴシック";
    const std::string gothic = "ＭＳ ゴシック";
    static const std::vector<ControlRow> rows = {
        {"Label1", "", 16, 16, 380, 19, "ボタンを押すとベンチマークを開始します。", gothic, -19, clNavy,
         false, false, clSilver, -1},
        {"Label2", "", 48, 94, 90, 12, "あなたのシステム", pGothic, -12, clWindowText, false, true,
         clSilver, -1},
        {"Label3", "", 192, 84, 95, 12, "Cyrix6x86 133MHz", pGothic, -12, clPurple, false, false,
         clSilver, -1},
        {"Label4", "", 208, 115, 72, 12, "ＣＰＵ：1992", gothic, -12, clPurple, false, false,
         clSilver, -1},
        {"Label5", "", 208, 130, 72, 12, "ビデオ：2370", gothic, -12, clPurple, false, false,
         clSilver, -1},
        {"Label6", "", 136, 48, 148, 12, "結果の数値はパフォーマンス", pGothic, -12, clMaroon, false,
         false, clSilver, -1},
        {"Label7", "", 136, 64, 108, 12, "の高さに比例します。", pGothic, -12, clMaroon, false, false,
         clSilver, -1},
        {"Label8", "", 192, 96, 108, 12, "S3 868 2MB 65K Col.", pGothic, -12, clPurple, false, false,
         clSilver, -1},
        {"StartButton", "", 8, 48, 121, 33, "スタート", gothic, -16, clBlack, true, false, clBtnFace,
         0},
        {"Kekka", "", 8, 112, 177, 33, "ＣＰＵ：\r\nビデオ：\r\n", gothic, -13, clWhite, false,
         false, clTeal, 1},
        {"Panel1", "", 304, 48, 89, 97, "", pGothic, -12, clWindowText, false, true, clBtnFace, 2},
        {"PaintBox1", "Panel1", 1, 1, 87, 95, "", pGothic, -12, clWindowText, false, true, clMaroon,
         -1},
    };
    return rows;
}

TEST_F(FormTest, WindowHasEveryPropertyOfItsDescription) {
    TQMKForm& form = CreateForm();
    EXPECT_EQ(form.Name(), "QMKForm");
    EXPECT_EQ(Readable(form.Caption()), "Plimboのベンチマーク for 32bit Windows R1.0");
    EXPECT_EQ(form.ClientWidth(), 400);
    EXPECT_EQ(form.ClientHeight(), 152);
    EXPECT_EQ(form.Position(), TPosition::poScreenCenter);
    EXPECT_EQ(form.BorderStyle(), TBorderStyle::bsDialog);
    EXPECT_EQ(form.ActiveControl(), form.StartButton);
    EXPECT_EQ(form.Color(), clSilver);
    EXPECT_EQ(Readable(form.Font().Name()), "ＭＳ Ｐゴシック");
    EXPECT_EQ(form.Font().Height(), -12);
    EXPECT_EQ(form.Font().Color(), clWindowText);
    EXPECT_EQ(form.Font().Style(), 0);
    EXPECT_EQ(form.PixelsPerInch(), 96);
    EXPECT_EQ(form.TextHeight(), 12);
    EXPECT_EQ(form.Icon().Width, 32);
    EXPECT_EQ(form.Icon().Height, 32);
    EXPECT_FALSE(form.Showing());

    const auto& description = QMKFormDescription();
    EXPECT_EQ(description.ClassName, "TQMKForm");
    EXPECT_EQ(description.Left, 194);
    EXPECT_EQ(description.Top, 150);

    // The window manager gets the icon and the caption with the window.
    const auto* info = user_.Info(form.Handle());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->IconWidth, 32);
    EXPECT_EQ(info->IconHeight, 32);
    EXPECT_EQ(info->Text, form.Caption());
    EXPECT_EQ(info->Owner, application_->ApplicationWindow());
}

TEST_F(FormTest, EveryControlMatchesItsRow) {
    TQMKForm& form = CreateForm();
    for (const ControlRow& row : ExpectedControls()) {
        SCOPED_TRACE(row.Name);
        TControl* control = form.FindComponent(row.Name);
        ASSERT_NE(control, nullptr);
        const TControl* parent = control->Parent();
        ASSERT_NE(parent, nullptr);
        EXPECT_EQ(parent, *row.Parent == '\0' ? static_cast<TControl*>(&form) : form.FindComponent(row.Parent));
        EXPECT_EQ(control->Left(), row.Left);
        EXPECT_EQ(control->Top(), row.Top);
        // A label is never narrower than its text: the recorder's font is
        // wider than the design's.
        const int width = dynamic_cast<TLabel*>(control) != nullptr
                              ? std::max(row.Width, TextExtent(control->Font(), control->Caption()).Cx)
                              : row.Width;
        EXPECT_EQ(control->Width(), width);
        EXPECT_EQ(control->Height(), row.Height);
        if (auto* memo = dynamic_cast<TMemo*>(control)) {
            EXPECT_EQ(Readable(memo->Text()), row.Text);
        } else {
            EXPECT_EQ(Readable(control->Caption()), row.Text);
        }
        EXPECT_EQ(Readable(control->Font().Name()), row.FontName);
        EXPECT_EQ(control->Font().Height(), row.FontHeight);
        EXPECT_EQ(control->Font().Color(), row.FontColor);
        EXPECT_EQ((control->Font().Style() & fsBold) != 0, row.Bold);
        EXPECT_EQ(control->ParentFont(), row.ParentFont);
        EXPECT_EQ(control->Color(), row.Color);
        if (auto* windowed = dynamic_cast<TWinControl*>(control)) {
            EXPECT_EQ(windowed->TabOrder(), row.TabOrder);
        }
    }
}

TEST_F(FormTest, FieldsAreBoundToTheirControls) {
    TQMKForm& form = CreateForm();
    const std::vector<std::pair<TControl*, const char*>> fields = {
        {form.Label1, "Label1"}, {form.StartButton, "StartButton"}, {form.Kekka, "Kekka"},
        {form.Label2, "Label2"}, {form.Label3, "Label3"},           {form.Label4, "Label4"},
        {form.Label5, "Label5"}, {form.Label6, "Label6"},           {form.Label7, "Label7"},
        {form.Panel1, "Panel1"}, {form.PaintBox1, "PaintBox1"},     {form.Label8, "Label8"},
    };
    for (const auto& [field, name] : fields) {
        ASSERT_NE(field, nullptr) << name;
        EXPECT_EQ(field->Name(), name);
    }
    EXPECT_TRUE(form.Kekka->ReadOnly());
    EXPECT_EQ(form.Kekka->Lines().Count(), 3);
    EXPECT_EQ(Readable(form.Kekka->Lines().Get(0)), "ＣＰＵ：");
    EXPECT_EQ(Readable(form.Kekka->Lines().Get(1)), "ビデオ：");
    EXPECT_TRUE(form.StartButton->TabStop());
    EXPECT_TRUE(form.Kekka->TabStop());
    EXPECT_FALSE(form.Panel1->TabStop());
    form.Show();
    EXPECT_EQ(form.TabOrderList(), (std::vector<TWinControl*>{form.StartButton, form.Kekka}));
}

TEST_F(FormTest, FormCreateMakesWorkBitmapTwiceThePaintBox) {
    TQMKForm& form = CreateForm();
    ASSERT_NE(form.WorkBitmap(), nullptr);
    EXPECT_EQ(form.WorkBitmap()->GetWidth(), 174);
    EXPECT_EQ(form.WorkBitmap()->GetHeight(), 190);
    EXPECT_TRUE(form.PaintBox1->Visible());
}

TEST_F(FormTest, ClickingStartRunsTheBenchmarkOnTheWindowsControls) {
    TQMKForm& form = CreateForm();
    form.Show();
    application_->ProcessMessages();
    user_.ClearLog();
    form.StartButton->Click();
    // Both result lines were written behind their labels; the bitmap stays
    // for the next run.
    const std::string cpu = form.Kekka->Lines().Get(0);
    const std::string video = form.Kekka->Lines().Get(1);
    EXPECT_EQ(Readable(cpu).rfind("ＣＰＵ：", 0), 0u) << Readable(cpu);
    EXPECT_NE(Readable(cpu), "ＣＰＵ：");
    EXPECT_EQ(Readable(video).rfind("ビデオ：", 0), 0u) << Readable(video);
    EXPECT_NE(Readable(video), "ビデオ：");
    EXPECT_NE(form.WorkBitmap(), nullptr);
    // No error box came up.
    EXPECT_TRUE(user_.Calls("CreateWindow").empty());
}

TEST_F(FormTest, CloseReleasesWorkBitmapAndLeavesTheAction) {
    TQMKForm& form = CreateForm();
    TCloseAction action = TCloseAction::caHide;
    form.FormClose(form, action);
    EXPECT_EQ(form.WorkBitmap(), nullptr);
    EXPECT_EQ(action, TCloseAction::caHide);

    // The close path of the main window ends the application without
    // hiding the window.
    TQMKForm& again = form;
    again.Close();
    EXPECT_TRUE(application_->Terminated());
}

TEST_F(FormTest, StartRequestAfterCloseLeavesTheReleasedBitmapAlone) {
    TQMKForm& form = CreateForm();
    form.Show();
    form.Close();
    ASSERT_EQ(form.WorkBitmap(), nullptr);
    // A click that was still queued when the close was accepted: it must
    // return at once, without a run and without an error box.
    gdi_.ClearLog();
    user_.ClearLog();
    form.StartButton->Click();
    form.StartButtonClick(*form.StartButton);
    EXPECT_TRUE(gdi_.Calls().empty());
    EXPECT_TRUE(user_.Calls("CreateWindow").empty());
    EXPECT_EQ(Readable(form.Kekka->Lines().Get(0)), "ＣＰＵ：");
}

TEST_F(FormTest, ErrorInFormCreateIsShownAndTheWindowStillOpens) {
    // The bitmap's device bitmap cannot be made: FormCreate fails after it
    // stored the bitmap.
    gdi_.FailNext(platform::RecordingGdi::Call::CreateCompatibleBitmap, 1000);
    std::vector<std::string> boxTexts;
    user_.SetIdleHandler([this, &boxTexts] {
        platform::WindowHandle box = 0;
        for (platform::WindowHandle window : user_.LiveWindows()) {
            const auto* info = user_.Info(window);
            if (info->Parent == 0 && (info->Style & platform::ws::Modal) != 0) box = window;
        }
        ASSERT_NE(box, 0u) << "no box is showing";
        boxTexts.push_back(user_.Info(box)->Text);
        platform::Message key;
        key.Window = box;
        key.Kind = platform::MessageKind::KeyDown;
        key.Key = platform::vk::Return;
        user_.Post(key);
        key.Kind = platform::MessageKind::KeyUp;
        user_.Post(key);
    });
    TQMKForm& form = CreateForm();
    EXPECT_EQ(boxTexts.size(), 1u);
    EXPECT_EQ(QMKForm, &form);
    EXPECT_EQ(application_->MainForm(), &form);
    // Stored before its size was set, so FormClose still finds it.
    ASSERT_NE(form.WorkBitmap(), nullptr);
    TCloseAction action = TCloseAction::caHide;
    form.FormClose(form, action);
    EXPECT_EQ(form.WorkBitmap(), nullptr);
}

TEST_F(FormTest, WindowVariableFollowsTheFormsLife) {
    // Set when the storage is allocated, before construction runs (so it
    // is valid inside FormCreate), and cleared when a construction that
    // failed gives the storage back.
    void* storage = TQMKForm::operator new(sizeof(TQMKForm));
    EXPECT_EQ(static_cast<void*>(QMKForm), storage);
    TQMKForm::operator delete(storage);
    EXPECT_EQ(QMKForm, nullptr);

    TQMKForm& form = CreateForm();
    EXPECT_EQ(QMKForm, &form);
    application_->DestroyForms();
    EXPECT_EQ(QMKForm, nullptr);
}

}  // namespace
}  // namespace qmk::test
