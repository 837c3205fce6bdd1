// The kernel half of the seam on POSIX: the clock from clock_gettime and
// the locale's format settings from nl_langinfo, answered in the form and
// code page (932) of the Windows locale items.
#pragma once

#include <langinfo.h>
#include <locale.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Kernel.h"

namespace qmk::platform {

class PosixKernel : public Kernel {
public:
    // Answers from the program's locale (start-up calls setlocale(LC_ALL, "")).
    PosixKernel() = default;
    // Answers from a named locale; null when the locale is not installed.
    static std::unique_ptr<PosixKernel> ForLocale(const char* name);
    ~PosixKernel() override;
    PosixKernel(const PosixKernel&) = delete;
    PosixKernel& operator=(const PosixKernel&) = delete;

    SystemTime GetLocalTime() override;
    SystemTime GetSystemTime() override;
    int GetLocaleInfo(std::uint32_t item, char* buffer, int size) override;
    // From /proc/self/exe.
    std::string GetModuleFileName() override;

    // The locale's answer for an item in the locale's own charset, before
    // conversion; nullopt for an item this kernel does not know.
    std::optional<std::string> LocaleItemText(std::uint32_t item) const;

    // strftime time format to Windows time-format syntax (%H:%M:%S gives
    // HH:mm:ss, %I:%M:%S %p gives hh:mm:ss tt); %r expands through
    // ampmFormat. Literal letters and non-ASCII text are quoted.
    static std::string TimeFormatFromStrftime(std::string_view format, std::string_view ampmFormat);
    // strftime date format to Windows date-format syntax (%d/%m/%Y gives
    // dd/MM/yyyy).
    static std::string DateFormatFromStrftime(std::string_view format);
    // The literal text between the first two fields of a strftime format
    // ("%H:%M:%S" gives ":"), after expanding %T, %R, %D, %F and %r.
    static std::string FirstSeparator(std::string_view format, std::string_view ampmFormat);
    // Converts text in the given charset to code page 932; nullopt when
    // some character has no code page 932 form.
    static std::optional<std::string> ToCp932(std::string_view text, const char* charset);

private:
    explicit PosixKernel(locale_t locale) : locale_(locale) {}
    const char* LangInfo(nl_item item) const;
    std::string TimeFormat() const;

    locale_t locale_ = static_cast<locale_t>(0);
};

}  // namespace qmk::platform
