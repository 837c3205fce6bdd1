// The benchmark on the recording backends: an application object, the
// bench form shown and painted, the off-screen bitmap at twice the paint
// box's size, and a scripted clock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BenchForm.h"
#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingUser.h"
#include "platform/recording/ScriptedKernel.h"
#include "runtime/Generator.h"
#include "runtime/LocaleSettings.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/Memo.h"
#include "ui/PaintBox.h"
#include "ui/Panel.h"

namespace qmk::test {

class AppTest : public ::testing::Test {
protected:
    AppTest() {
        // Settings from a kernel without locale answers: the defaults.
        ReadLocaleSettings();
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
        form_ = &application_->CreateForm<TBenchForm>();
        form_->Show();
        application_->ProcessMessages();  // paints: the paint box takes its colour
        bitmap_ = std::make_unique<TBitmap>();
        bitmap_->SetWidth(form_->PaintBox1->Width() * 2);
        bitmap_->SetHeight(form_->PaintBox1->Height() * 2);
        GeneratorState = 0;
        gdi_.ClearLog();
    }
    ~AppTest() override {
        bitmap_.reset();
        application_.reset();
        kernel_.ClearLocale();
        ReadLocaleSettings();
        GeneratorState = 0;
    }

    TMemo& Memo() { return *form_->Kekka; }
    TPaintBox& Box() { return *form_->PaintBox1; }
    TBitmap& Bitmap() { return *bitmap_; }
    std::string Line(int index) { return Memo().Lines().Get(index); }
    platform::RecordingSurface& BitmapPixels() {
        return *gdi_.BitmapSurface(bitmap_->Image().Handle);
    }

    platform::RecordingGdi gdi_;
    platform::RecordingUser user_{&gdi_};
    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
    TBenchForm* form_ = nullptr;
    std::unique_ptr<TBitmap> bitmap_;
};

}  // namespace qmk::test
