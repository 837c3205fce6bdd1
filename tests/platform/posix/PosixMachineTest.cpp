// What the runner's JSON record says about the processor, read from a
// /proc/cpuinfo text.
#include <gtest/gtest.h>

#include "platform/posix/PosixMachine.h"

namespace qmk::platform {
namespace {

TEST(PosixMachineTest, ProcessorModelIsTheFirstModelName) {
    EXPECT_EQ(ProcessorModel("processor\t: 0\nvendor_id\t: CyrixInstead\n"
                             "model name\t: 6x86 P166+  \nprocessor\t: 1\nmodel name\t: other\n"),
              "6x86 P166+");
    EXPECT_EQ(ProcessorModel("model name:Bare"), "Bare");
    EXPECT_EQ(ProcessorModel("processor\t: 0\nHardware\t: BCM2835\n"), "");
    EXPECT_EQ(ProcessorModel("model\t\t: 6\n"), "");  // "model" alone is a number
    EXPECT_EQ(ProcessorModel(""), "");
}

}  // namespace
}  // namespace qmk::platform
