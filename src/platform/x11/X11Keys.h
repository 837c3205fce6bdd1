// Key symbols of X to the framework's virtual-key codes and to the text a
// key types.
#pragma once

#include <cstdint>
#include <string>

#include <X11/X.h>

namespace qmk::platform::x11 {

// The vk:: code of a key symbol; 0 for keys the framework has no name for.
std::uint32_t VirtualKeyFromKeySym(KeySym symbol);

// The Unicode character a key symbol types; 0 when it types none.
std::uint32_t UnicodeFromKeySym(KeySym symbol);

void AppendUtf8(std::string& out, std::uint32_t code);

}  // namespace qmk::platform::x11
