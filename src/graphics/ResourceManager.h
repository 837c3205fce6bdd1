// Shared platform handles of fonts, pens and brushes. Every TFont, TPen and
// TBrush refers to a reference-counted cache entry holding its attribute
// record; objects with equal attributes share one entry and so one
// platform handle, which is made the first time a canvas selects it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/Platform.h"

namespace qmk {

// 16-bit hash of a record's bytes: rotate left by 5, then xor the byte in.
inline std::uint16_t ResourceHash(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint16_t hash = 0;
    for (std::size_t i = 0; i < size; ++i)
        hash = static_cast<std::uint16_t>(((hash << 5) | (hash >> 11)) ^ bytes[i]);
    return hash;
}

template <class Data>
struct TResource {
    TResource* Next = nullptr;
    std::int32_t RefCount = 0;
    platform::ObjectHandle Handle = 0;
    std::uint16_t HashCode = 0;
    Data Value{};
};

template <class Data>
class TResourceManager {
    // Entries are compared byte for byte, so a record may hold no padding.
    static_assert(std::has_unique_object_representations_v<Data>);

public:
    using Resource = TResource<Data>;

    TResourceManager() = default;
    TResourceManager(const TResourceManager&) = delete;
    TResourceManager& operator=(const TResourceManager&) = delete;

    // The entry for these attributes, with one more user; a new entry goes
    // to the head of the list and has no handle yet.
    Resource* Allocate(const Data& data) {
        const std::uint16_t hash = ResourceHash(&data, sizeof data);
        for (Resource* entry = head_; entry != nullptr; entry = entry->Next) {
            if (entry->HashCode == hash && std::memcmp(&entry->Value, &data, sizeof data) == 0) {
                ++entry->RefCount;
                return entry;
            }
        }
        auto* entry = new Resource;
        entry->Next = head_;
        entry->RefCount = 1;
        entry->HashCode = hash;
        entry->Value = data;
        head_ = entry;
        return entry;
    }

    // One user fewer; the last one deletes the platform handle and the entry.
    void Free(Resource* entry) {
        if (entry == nullptr || --entry->RefCount > 0) return;
        for (Resource** link = &head_; *link != nullptr; link = &(*link)->Next) {
            if (*link == entry) {
                *link = entry->Next;
                break;
            }
        }
        if (entry->Handle != 0) platform::GdiApi().DeleteObject(entry->Handle);
        delete entry;
    }

    // Deletes the handles of the entries for which the predicate holds, so
    // that they are made again on their next selection.
    template <class Predicate>
    void DeleteHandles(Predicate predicate) {
        for (Resource* entry = head_; entry != nullptr; entry = entry->Next) {
            if (entry->Handle != 0 && predicate(entry->Value)) {
                platform::GdiApi().DeleteObject(entry->Handle);
                entry->Handle = 0;
            }
        }
    }

    const Resource* First() const { return head_; }
    std::size_t Count() const {
        std::size_t count = 0;
        for (const Resource* entry = head_; entry != nullptr; entry = entry->Next) ++count;
        return count;
    }

private:
    Resource* head_ = nullptr;
};

}  // namespace qmk
