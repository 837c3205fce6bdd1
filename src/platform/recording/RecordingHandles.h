// How the recording graphics backend makes its handles: the kind of
// object in the high byte, a serial number below (shared by the backend
// and its log renderer).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Types.h"

namespace qmk::platform::recording {

inline Handle MakeHandle(std::uint8_t kind, std::size_t serial) {
    return (static_cast<Handle>(kind) << 24) | static_cast<Handle>(serial);
}
inline std::uint8_t KindOf(Handle handle) { return static_cast<std::uint8_t>((handle >> 24) & 0xFF); }
inline std::size_t SerialOf(Handle handle) { return static_cast<std::size_t>(handle & 0xFFFFFF); }

}  // namespace qmk::platform::recording
