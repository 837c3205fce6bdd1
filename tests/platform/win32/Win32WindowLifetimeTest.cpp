// Who frees a window's record when the system refuses to make the window:
// before the window procedure has seen it (a hook refuses the creation),
// after it took the record (WM_CREATE answered -1), and for a standard
// control. Each record is freed exactly once: no leak, no second free.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <ostream>
#include <string>

#include "platform/win32/Win32User.h"

namespace {
long liveBlocks = 0;
bool counting = false;
}  // namespace

// Inlined library code pairs these with free() directly, which GCC flags.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        if (counting) ++liveBlocks;
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept {
    if (counting && block != nullptr) --liveBlocks;
    std::free(block);
}
void operator delete[](void* block) noexcept { ::operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }

namespace qmk::platform::win32::testing {
namespace {

enum class Refusal { None, ByHook, ByCreate };

// What the hook does to the next window of the given class made on this
// thread.
struct Injection {
    const wchar_t* ClassName = L"";
    Refusal How = Refusal::None;
    WNDPROC Original = nullptr;
    int Refused = 0;
};
Injection injection;

LRESULT CALLBACK RefuseCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        ++injection.Refused;
        return -1;
    }
    return ::CallWindowProcW(injection.Original, window, message, wParam, lParam);
}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && injection.How != Refusal::None) {
        const auto window = reinterpret_cast<HWND>(wParam);
        wchar_t name[64]{};
        ::GetClassNameW(window, name, 64);
        if (::lstrcmpiW(name, injection.ClassName) == 0) {
            if (injection.How == Refusal::ByHook) {
                ++injection.Refused;
                return 1;
            }
            // In front of the window procedure before it sees WM_NCCREATE.
            injection.Original = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefuseCreate)));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class CreationRefused {
public:
    CreationRefused(const wchar_t* className, Refusal how) {
        injection = Injection{className, how, nullptr, 0};
        hook_ = ::SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId());
        EXPECT_NE(hook_, nullptr);
    }
    ~CreationRefused() {
        ::UnhookWindowsHookEx(hook_);
        injection = Injection{};
    }
    CreationRefused(const CreationRefused&) = delete;
    CreationRefused& operator=(const CreationRefused&) = delete;

private:
    HHOOK hook_ = nullptr;
};

struct RefusalCase {
    const char* Name;
    const wchar_t* ClassName;
    Refusal How;
    WindowKind Kind;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.Name; }

class Win32WindowLifetimeTest : public ::testing::TestWithParam<RefusalCase> {
protected:
    void SetUp() override {
        CreateWindowParams params;
        params.Style = ws::DialogFrame;
        params.Width = 200;
        params.Height = 100;
        parent_ = user_.CreateWindow(params);
        ASSERT_NE(parent_, 0u);
    }
    void TearDown() override { user_.DestroyWindow(parent_); }

    // A child window, whose end the program hears nothing of: nothing but
    // the record is made or freed on the heap.
    WindowHandle MakeChild(WindowKind kind) {
        CreateWindowParams params;
        params.Style = ws::Child;
        params.Parent = parent_;
        params.Width = 50;
        params.Height = 20;
        params.Kind = kind;
        liveBlocks = 0;
        counting = true;
        const WindowHandle window = user_.CreateWindow(params);
        counting = false;
        return window;
    }

    Win32User user_;
    WindowHandle parent_ = 0;
};

TEST_P(Win32WindowLifetimeTest, ARefusedWindowFreesItsRecordOnce) {
    const RefusalCase& c = GetParam();
    {
        const CreationRefused refused(c.ClassName, c.How);
        EXPECT_EQ(MakeChild(c.Kind), 0u);
        ASSERT_EQ(injection.Refused, 1) << "the failure was not injected";
    }
    EXPECT_EQ(liveBlocks, 0) << (liveBlocks < 0 ? "freed twice" : "leaked");

    // The same kind of window made afterwards lives and dies as usual.
    const WindowHandle window = MakeChild(c.Kind);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(liveBlocks, 1);
    counting = true;
    user_.DestroyWindow(window);
    counting = false;
    EXPECT_EQ(liveBlocks, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Win32WindowLifetimeTest,
    ::testing::Values(RefusalCase{"PlainRefusedBeforeTheProcedureSawIt", L"QMKWindow", Refusal::ByHook,
                                  WindowKind::Plain},
                      RefusalCase{"PlainRefusedByItsCreate", L"QMKWindow", Refusal::ByCreate, WindowKind::Plain},
                      RefusalCase{"ButtonRefused", L"Button", Refusal::ByHook, WindowKind::PushButton},
                      RefusalCase{"BoxRefusedByItsCreate", L"Edit", Refusal::ByCreate,
                                  WindowKind::ReadOnlyEdit}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace qmk::platform::win32::testing
