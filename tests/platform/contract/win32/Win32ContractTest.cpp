// The Win32 backend held to the contract, made by the program's own
// factory, under Wine on the build's session display (one depth: the
// screen's, which Wine gives as 32 bits a pixel on a 24-bit X screen).
#include "platform/win32/WinApi.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../ContractSuite.h"
#include "platform/Desktop.h"
#include "platform/win32/Win32Text.h"

namespace qmk::platform::contract {
namespace {

class Win32ContractDesktop : public ContractDesktop {
public:
    Win32ContractDesktop() : desktop_(MakeDesktop("qmk_contract_win32_tests")) { desktop_->OpenDisplay(nullptr); }

    Gdi& GdiPart() override { return *desktop_->GdiPart(); }
    User& UserPart() override { return *desktop_->UserPart(); }
    Kernel& KernelPart() override { return desktop_->KernelPart(); }

    // As the system delivers a key to the window with the focus.
    void Type(WindowHandle window, std::uint32_t key) override {
        const HWND hwnd = reinterpret_cast<HWND>(window);
        const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
        ::PostMessageW(hwnd, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
        ::PostMessageW(hwnd, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
    }

    // What another program gets: the Unicode text, lines ended by CR LF,
    // read back into the program's form.
    std::optional<std::string> ReadClipboard() override {
        if (!::OpenClipboard(nullptr)) return std::nullopt;
        std::optional<std::string> result;
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT); data != nullptr) {
            const std::wstring wide(static_cast<const wchar_t*>(::GlobalLock(data)));
            ::GlobalUnlock(data);
            std::string text = win32::WideToCp932Lossy(wide.data(), static_cast<int>(wide.size()));
            std::string lines;
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
                lines += text[i];
            }
            result = lines;
        }
        ::CloseClipboard();
        return result;
    }

    std::string ProgramBaseName() override { return "qmk_contract_win32_tests.exe"; }

    std::string Unsupported(std::string_view item) override {
        // Windows answers CLR_INVALID there; Wine reads the pixel. The
        // backend adds no check of its own to the measured read.
        if (item == "pixel reads outside the clip") return "Wine's GetPixel ignores the clip region";
        return {};
    }

private:
    std::unique_ptr<Desktop> desktop_;
};

struct Win32Maker {
    static std::vector<int> Depths() { return {32}; }
    static std::unique_ptr<ContractDesktop> Open(int /*depth*/) { return std::make_unique<Win32ContractDesktop>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32GdiContract, GdiContract, Win32Maker);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32UserContract, UserContract, Win32Maker);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32KernelContract, KernelContract, Win32Maker);

}  // namespace
}  // namespace qmk::platform::contract
