// main() of the test programs that need a display: every process gets a
// private Xvfb, so the tests never touch the developer's display and ctest
// runs on machines without one. QMK_TEST_DEPTH and QMK_TEST_DPI choose the
// server's format.
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/x11/XvfbServer.h"

namespace {

int EnvInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qmk::platform::x11::XvfbServer::Options options;
        options.Depth = EnvInt("QMK_TEST_DEPTH", 24);
        options.Dpi = EnvInt("QMK_TEST_DPI", 96);
        server_ = std::make_unique<qmk::platform::x11::XvfbServer>(options);
        setenv("DISPLAY", server_->DisplayName().c_str(), 1);
    }
    void TearDown() override { server_.reset(); }

private:
    std::unique_ptr<qmk::platform::x11::XvfbServer> server_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);
    return RUN_ALL_TESTS();
}
