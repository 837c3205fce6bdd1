// The program's errors: one small hierarchy shared by every layer. An error
// has a class name (shown at start-up failures) and a message in code page
// 932 (shown by the error box with a full stop added).
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace qmk {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
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

// Messages of the program's own errors (code page 932).
namespace messages {
// 時刻に変換できない値が渡されました
inline constexpr char InvalidTime[] =
    "\x8e\x9e\x8d\x8f\x82\xc9\x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xc8\x82\xa2\x92\x6c\x82\xaa"
    "\x93\x6e\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd";
// メモリが足りません
inline constexpr char OutOfMemory[] =
    "\x83\x81\x83\x82\x83\x8a\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
}  // namespace messages

}  // namespace qmk
