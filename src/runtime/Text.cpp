#include "runtime/Text.h"

#include <cstring>
#include <new>

#include "runtime/Errors.h"

namespace qmk {

Text::Text(const char* bytes, std::size_t size) : size_(size) {
    try {
        data_ = new char[size == 0 ? 1 : size];
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(texts::OutOfMemory);
    }
    if (size != 0) std::memcpy(data_, bytes, size);
}

Text& Text::operator=(const Text& other) {
    if (this != &other) *this = Text(other);
    return *this;
}

Text& Text::operator=(Text&& other) noexcept {
    if (this != &other) {
        delete[] data_;
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

}  // namespace qmk
