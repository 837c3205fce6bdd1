// The program's lines on Windows: a console shows their characters and
// keeps the code page it had (other programs in it read and write in that
// code page); a pipe gets the UTF-8 bytes.
#include "platform/win32/WinApi.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "platform/win32/OwnConsole.h"
#include "platform/win32/Win32Console.h"

namespace qmk::platform::win32::testing {
namespace {

// A result line and an error line as the runner writes them (UTF-8).
constexpr char CpuLine[] = "\xef\xbc\xa3\xef\xbc\xb0\xef\xbc\xb5\xef\xbc\x9a" "1992 (100%)";
constexpr wchar_t CpuLineWide[] = L"\uff23\uff30\uff35\uff1a" L"1992 (100%)";
constexpr char ErrorLine[] = "qmk-run: \xef\xbd\xbc\xef\xbd\xbd\xef\xbe\x83\xef\xbe\x91 \xef\xbe\x98\xef\xbd\xbf\xef\xbd\xb0\xef\xbd\xbd";
constexpr wchar_t ErrorLineWide[] = L"qmk-run: \uff7c\uff7d\uff83\uff91 \uff98\uff7f\uff70\uff7d";

// The C library's descriptor of a stream, pointed at another handle for
// the guard's lifetime.
class RedirectedStream {
public:
    RedirectedStream(StandardStream stream, HANDLE handle)
        : file_(stream == StandardStream::Output ? stdout : stderr), descriptor_(_fileno(file_)) {
        std::fflush(file_);
        saved_ = _dup(descriptor_);
        // The descriptor owns what it is given: a copy, so the caller's
        // handle stays open.
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        const int target = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_BINARY);
        _dup2(target, descriptor_);
        _close(target);
    }
    ~RedirectedStream() {
        std::fflush(file_);
        _dup2(saved_, descriptor_);
        _close(saved_);
    }
    RedirectedStream(const RedirectedStream&) = delete;
    RedirectedStream& operator=(const RedirectedStream&) = delete;

private:
    std::FILE* file_;
    int descriptor_;
    int saved_ = -1;
};

struct StreamCase {
    StandardStream Stream;
    const char* Text;
    const wchar_t* Wide;
};

void PrintTo(const StreamCase& c, std::ostream* out) {
    *out << (c.Stream == StandardStream::Output ? "standard output" : "standard error");
}

class Win32ConsoleTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Win32ConsoleTest, AConsoleShowsTheCharactersInTheCodePageItHad) {
    const StreamCase& c = GetParam();
    OwnConsole console;
    ASSERT_TRUE(console.Ready()) << "no console, error " << ::GetLastError();
    ASSERT_TRUE(::SetConsoleOutputCP(437));
    const SHORT row = console.Cursor().Y;
    bool written = false;
    {
        const RedirectedStream redirected(c.Stream, console.Output());
        written = WriteConsoleText(c.Stream, std::string(c.Text) + "\n");
    }
    EXPECT_TRUE(written);
    EXPECT_EQ(console.Row(row), c.Wide);
    EXPECT_EQ(console.Cursor().Y, row + 1);
    EXPECT_EQ(::GetConsoleOutputCP(), 437u);
}

TEST_P(Win32ConsoleTest, APipeGetsTheUtf8Bytes) {
    const StreamCase& c = GetParam();
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 1 << 16));
    bool written = false;
    {
        const RedirectedStream redirected(c.Stream, write);
        written = WriteConsoleText(c.Stream, std::string(c.Text) + "\n");
    }
    ::CloseHandle(write);
    std::string bytes;
    char buffer[256];
    DWORD got = 0;
    while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    ::CloseHandle(read);
    EXPECT_TRUE(written);
    EXPECT_EQ(bytes, std::string(c.Text) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Streams, Win32ConsoleTest,
                         ::testing::Values(StreamCase{StandardStream::Output, CpuLine, CpuLineWide},
                                           StreamCase{StandardStream::Error, ErrorLine, ErrorLineWide}),
                         [](const ::testing::TestParamInfo<StreamCase>& info) {
                             return info.param.Stream == StandardStream::Output ? "Output" : "Error";
                         });

}  // namespace
}  // namespace qmk::platform::win32::testing
