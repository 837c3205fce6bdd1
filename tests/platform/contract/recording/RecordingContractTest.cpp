// The recording backend (the tests' stand-in for a desktop) held to the
// contract: what the program's tests prove on it holds on a real desktop.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../ContractSuite.h"
#include "platform/recording/RecordingGdi.h"
#include "platform/recording/RecordingUser.h"
#include "platform/recording/ScriptedKernel.h"

namespace qmk::platform::contract {
namespace {

class RecordingDesktop : public ContractDesktop {
public:
    explicit RecordingDesktop(int depth) : gdi_(depth), user_(&gdi_) {
        // A Japanese desktop's answers, as the program's tests script them.
        const struct {
            std::uint32_t Item;
            const char* Text;
        } locale[] = {
            {locale_item::Currency, "\\"},         {locale_item::CurrencyFormat, "0"},
            {locale_item::NegCurrencyFormat, "1"}, {locale_item::ThousandSeparator, ","},
            {locale_item::DecimalSeparator, "."},  {locale_item::CurrencyDigits, "0"},
            {locale_item::DateSeparator, "/"},     {locale_item::TimeSeparator, ":"},
            {locale_item::ShortDate, "yyyy/MM/dd"}, {locale_item::LongDate, "yyyy'\x94\x4e'M'\x8c\x8e'd'\x93\xfa'"},
            {locale_item::AmText, "\x8c\xdf\x91\x4f"}, {locale_item::PmText, "\x8c\xdf\x8c\xe3"},
            {locale_item::TimeFormat, "H:mm:ss"},
        };
        for (const auto& entry : locale) kernel_.SetLocaleItem(entry.Item, entry.Text);
        kernel_.SetLocalTime({13, 5, 42, 250});
        kernel_.SetSystemTime({4, 5, 42, 250});
        kernel_.SetModuleFileName("/opt/qmk/bin/qmk");
    }

    Gdi& GdiPart() override { return gdi_; }
    User& UserPart() override { return user_; }
    Kernel& KernelPart() override { return kernel_; }

    void Type(WindowHandle window, std::uint32_t key) override {
        Message m;
        m.Window = window;
        m.Key = key;
        m.Time = ++time_;
        m.Kind = MessageKind::KeyDown;
        m.Text[0] = static_cast<char>(key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key);
        user_.Post(m);
        m.Kind = MessageKind::KeyUp;
        m.Text[0] = '\0';
        user_.Post(m);
    }

    std::optional<std::string> ReadClipboard() override { return user_.ClipboardText(); }
    std::string ProgramBaseName() override { return "qmk"; }

private:
    RecordingGdi gdi_;
    RecordingUser user_;
    ScriptedKernel kernel_;
    std::uint32_t time_ = 0;
};

struct RecordingMaker {
    static std::vector<int> Depths() { return {24, 16}; }
    static std::unique_ptr<ContractDesktop> Open(int depth) {
        return std::make_unique<RecordingDesktop>(depth);
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RecordingGdiContract, GdiContract, RecordingMaker);
INSTANTIATE_TYPED_TEST_SUITE_P(RecordingUserContract, UserContract, RecordingMaker);
INSTANTIATE_TYPED_TEST_SUITE_P(RecordingKernelContract, KernelContract, RecordingMaker);

}  // namespace
}  // namespace qmk::platform::contract
