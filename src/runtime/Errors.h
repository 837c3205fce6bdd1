// The program's errors: one small hierarchy shared by every layer. An error
// has a class name (shown at start-up failures) and a message in code page
// 932 (shown by the error box with a full stop added).
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "runtime/ProgramTexts.h"

namespace qmk {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    explicit Exception(const texts::ProgramText& message) : message_(message.Cp932) {}
    // Class name as the user sees it, e.g. "EConvertError".
    virtual const char* ClassName() const noexcept { return "Exception"; }
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

#define QMK_DECLARE_ERROR(Name, Base)                                       \
    class Name : public Base {                                              \
    public:                                                                 \
        using Base::Base;                                                   \
        const char* ClassName() const noexcept override { return #Name; } \
    }

QMK_DECLARE_ERROR(EAbort, Exception);
QMK_DECLARE_ERROR(EConvertError, Exception);
QMK_DECLARE_ERROR(EOutOfMemory, Exception);
QMK_DECLARE_ERROR(EOutOfResources, EOutOfMemory);
QMK_DECLARE_ERROR(EInvalidOperation, Exception);
QMK_DECLARE_ERROR(EResNotFound, Exception);
QMK_DECLARE_ERROR(EPlatformError, Exception);

#undef QMK_DECLARE_ERROR

}  // namespace qmk
