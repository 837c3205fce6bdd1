// Installing a backend and giving the previous one back.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingUser.h"
#include "platform/recording/ScriptedKernel.h"

namespace qmk::platform {
namespace {

Backend Installed() { return {detail::CurrentGdi, detail::CurrentUser, detail::CurrentKernel}; }

bool Same(const Backend& a, const Backend& b) {
    return a.GdiPart == b.GdiPart && a.UserPart == b.UserPart && a.KernelPart == b.KernelPart;
}

TEST(PlatformTest, InstallReplacesOnlyTheGivenPartsAndReturnsAllOfWhatWasThere) {
    const ScopedBackend clean({});
    Restore({});
    RecordingGdi gdi;
    RecordingUser user;
    ScriptedKernel kernel;
    EXPECT_TRUE(Same(Install({&gdi, &user, nullptr}), Backend{}));
    EXPECT_TRUE(Same(Install({nullptr, nullptr, &kernel}), Backend{&gdi, &user, nullptr}));
    EXPECT_TRUE(Same(Installed(), Backend{&gdi, &user, &kernel}));
    Restore({});
}

// A scope that installed a part where there was none must leave none: the
// part it installed dies with the scope, and a later scope that installs
// only other parts would otherwise run against a dangling one.
TEST(PlatformTest, AScopeGivesBackExactlyWhatWasThereNullPartsIncluded) {
    const ScopedBackend clean({});
    Restore({});
    {
        RecordingGdi gdi;
        const ScopedBackend scope({&gdi, nullptr, nullptr});
        EXPECT_EQ(&GdiApi(), &gdi);
    }
    EXPECT_TRUE(Same(Installed(), Backend{}));

    RecordingGdi outerGdi;
    ScriptedKernel outerKernel;
    const ScopedBackend outer({&outerGdi, nullptr, &outerKernel});
    {
        RecordingUser user;
        ScriptedKernel kernel;
        const ScopedBackend inner({nullptr, &user, &kernel});
        EXPECT_TRUE(Same(Installed(), Backend{&outerGdi, &user, &kernel}));
    }
    EXPECT_TRUE(Same(Installed(), Backend{&outerGdi, nullptr, &outerKernel}));
}

}  // namespace
}  // namespace qmk::platform
