// What the runner's host tells about Windows for the JSON record: names the
// C library gives in the ANSI code page come out as UTF-8, and the
// processors are counted in every processor group.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32RunnerHost.h"

namespace qmk::platform::win32::testing {
namespace {

struct AnsiCase {
    const char* Ansi;  // code page 1252
    const char* Utf8;
};

// Names as the C library gives them; 0x92 is a right single quotation
// mark in code page 1252, not a control character as in ISO 8859-1.
const AnsiCase AnsiCases[] = {
    {"German_Germany.1252", "German_Germany.1252"},
    {"Norwegian Bokm\xe5l_Norway.1252", "Norwegian Bokm\xc3\xa5l_Norway.1252"},
    {"French_C\xf4te d\x92Ivoire.1252", "French_C\xc3\xb4te d\xe2\x80\x99Ivoire.1252"},
    {"", ""},
};

TEST(Win32RunnerHostTest, NamesInTheAnsiCodePageComeOutInUtf8) {
    if (::GetACP() != 1252) GTEST_SKIP() << "the cases are in code page 1252, this Windows has " << ::GetACP();
    for (const AnsiCase& c : AnsiCases) EXPECT_EQ(AnsiToUtf8(c.Ansi), c.Utf8) << c.Ansi;

    // The name the JSON record shows, as the C library makes it.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "Norwegian_Norway.1252"), nullptr);
    Win32RunnerHost host;
    const std::string name = host.LocaleName();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(name, "Norwegian Bokm\xc3\xa5l_Norway.1252");
}

// The count over all groups, from the system's own description of its
// groups (a machine with more than 64 processors has several).
TEST(Win32RunnerHostTest, ProcessorsAreCountedInEveryGroup) {
    DWORD bytes = 0;
    ::GetLogicalProcessorInformationEx(RelationGroup, nullptr, &bytes);
    if (bytes == 0) GTEST_SKIP() << "the system does not describe its processor groups";
    std::vector<unsigned char> buffer(bytes);
    auto* info = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    ASSERT_TRUE(::GetLogicalProcessorInformationEx(RelationGroup, info, &bytes));
    int active = 0;
    for (WORD group = 0; group < info->Group.ActiveGroupCount; ++group) {
        active += info->Group.GroupInfo[group].ActiveProcessorCount;
    }
    EXPECT_GT(active, 0);
    EXPECT_EQ(ProcessorCount(), active);
    EXPECT_EQ(Win32RunnerHost().DescribeMachine().Processors, active);
}

}  // namespace
}  // namespace qmk::platform::win32::testing
