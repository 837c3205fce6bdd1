// Installs a ScriptedKernel for one test and puts the locale settings back
// to their defaults around it, so tests do not leak settings into each other.
#pragma once

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/recording/ScriptedKernel.h"
#include "runtime/LocaleSettings.h"

namespace qmk {

class KernelFixture : public ::testing::Test {
protected:
    KernelFixture() : scope_(platform::Backend{nullptr, nullptr, &kernel_}) { ResetSettings(); }
    ~KernelFixture() override { ResetSettings(); }

    // Reads the settings from the given table (defaults for missing items).
    void ReadSettings(const std::vector<std::pair<std::uint32_t, std::string>>& items) {
        kernel_.ClearLocale();
        for (const auto& [item, text] : items) kernel_.SetLocaleItem(item, text);
        ReadLocaleSettings();
        kernel_.ClearCounts();
    }

    void ResetSettings() {
        platform::ScriptedKernel empty;
        platform::ScopedBackend scope(platform::Backend{nullptr, nullptr, &empty});
        ReadLocaleSettings();
    }

    platform::ScriptedKernel kernel_;

private:
    platform::ScopedBackend scope_;
};

}  // namespace qmk
