// The framework on the recording backends: an application object, the
// drawing layer started, and helpers to post messages.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "graphics/Graphics.h"
#include "platform/Platform.h"
#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingUser.h"
#include "platform/recording/ScriptedKernel.h"
#include "ui/Application.h"

namespace qmk::test {

// Measures every text one pixel higher, as a substitute font whose "0" is
// not 12 pixels high at -12 does.
class TallTextGdi : public platform::RecordingGdi {
public:
    int Extra = 0;
    bool GetTextExtentPoint(platform::DcHandle dc, const char* text, int length,
                            platform::Size* size) override {
        const bool result = RecordingGdi::GetTextExtentPoint(dc, text, length, size);
        if (result) size->Cy += Extra;
        return result;
    }
};

class UiTest : public ::testing::Test {
protected:
    // Set before Start() to change the screen.
    void Start(int pixelsPerInch = 96, int extraTextHeight = 0) {
        gdi_.SetLogPixels(pixelsPerInch);
        gdi_.Extra = extraTextHeight;
        InitializeGraphics();
        application_ = std::make_unique<TApplication>();
    }
    void TearDown() override { application_.reset(); }

    platform::Message Key(platform::WindowHandle window, std::uint32_t key, bool down = true,
                          std::uint32_t modifiers = 0) {
        platform::Message message;
        message.Window = window;
        message.Kind = down ? platform::MessageKind::KeyDown : platform::MessageKind::KeyUp;
        message.Key = key;
        message.Modifiers = modifiers;
        return message;
    }
    platform::Message Mouse(platform::WindowHandle window, platform::MessageKind kind, int x, int y,
                            std::uint32_t time = 0) {
        platform::Message message;
        message.Window = window;
        message.Kind = kind;
        message.X = x;
        message.Y = y;
        message.Button = 1;
        message.Time = time;
        return message;
    }
    void Send(const platform::Message& message) { application_->Dispatch(message); }

    TallTextGdi gdi_;
    platform::RecordingUser user_{&gdi_};
    platform::ScriptedKernel kernel_;
    platform::ScopedBackend backend_{{&gdi_, &user_, &kernel_}};
    std::unique_ptr<TApplication> application_;
};

}  // namespace qmk::test
