// The text the time conversion returns: a counted byte string (code page
// 932) whose bytes always live in one heap block of their own. std::string
// would keep a short time text inside the object and skip the allocation
// that every conversion of the measured loop is meant to make.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qmk {

class Text {
public:
    Text() noexcept = default;
    // Allocates one block and copies the bytes (also for an empty text).
    Text(const char* bytes, std::size_t size);
    explicit Text(std::string_view bytes) : Text(bytes.data(), bytes.size()) {}
    Text(const Text& other) : Text(other.data_, other.size_) {}
    Text(Text&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    Text& operator=(const Text& other);
    // Releases the held block at once: the receiving variable's old text
    // goes when the new one arrives.
    Text& operator=(Text&& other) noexcept;
    ~Text() { delete[] data_; }

    const char* Data() const noexcept { return data_; }
    std::size_t Size() const noexcept { return size_; }
    bool Empty() const noexcept { return size_ == 0; }
    std::string_view View() const noexcept { return {data_ == nullptr ? "" : data_, size_}; }
    std::string ToString() const { return std::string(View()); }

    // Ordinal: same length and same bytes; no locale rules.
    friend bool operator==(const Text& a, const Text& b) noexcept { return a.View() == b.View(); }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace qmk
