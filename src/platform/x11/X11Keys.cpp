// Before any X header: Xlib's None macro would break MessageKind::None.
#include "platform/User.h"

#include "platform/x11/X11Keys.h"

#include <X11/keysym.h>

namespace qmk::platform::x11 {

std::uint32_t VirtualKeyFromKeySym(KeySym symbol) {
    if (symbol >= XK_a && symbol <= XK_z) return static_cast<std::uint32_t>('A' + (symbol - XK_a));
    if (symbol >= XK_A && symbol <= XK_Z) return static_cast<std::uint32_t>('A' + (symbol - XK_A));
    if (symbol >= XK_0 && symbol <= XK_9) return static_cast<std::uint32_t>('0' + (symbol - XK_0));
    // F1 is 0x70 and the rest follow it.
    if (symbol >= XK_F1 && symbol <= XK_F12) return static_cast<std::uint32_t>(0x70 + (symbol - XK_F1));
    switch (symbol) {
    case XK_Return:
    case XK_KP_Enter:
        return vk::Return;
    case XK_space:
    case XK_KP_Space:
        return vk::Space;
    case XK_Escape:
        return vk::Escape;
    case XK_Tab:
    case XK_ISO_Left_Tab:
    case XK_KP_Tab:
        return vk::Tab;
    case XK_BackSpace:
        return vk::Back;
    case XK_Left:
    case XK_KP_Left:
        return vk::Left;
    case XK_Right:
    case XK_KP_Right:
        return vk::Right;
    case XK_Up:
    case XK_KP_Up:
        return vk::Up;
    case XK_Down:
    case XK_KP_Down:
        return vk::Down;
    case XK_Home:
    case XK_KP_Home:
        return vk::Home;
    case XK_End:
    case XK_KP_End:
        return vk::End;
    case XK_Prior:
    case XK_KP_Prior:
        return vk::Prior;
    case XK_Next:
    case XK_KP_Next:
        return vk::Next;
    case XK_Insert:
    case XK_KP_Insert:
        return vk::Insert;
    case XK_Delete:
    case XK_KP_Delete:
        return vk::Delete;
    case XK_Shift_L:
    case XK_Shift_R:
        return vk::Shift;
    case XK_Control_L:
    case XK_Control_R:
        return vk::Control;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return vk::Menu;
    default:
        return 0;
    }
}

std::uint32_t UnicodeFromKeySym(KeySym symbol) {
    // Latin-1 symbols are their own code points; newer ones carry it plainly.
    if ((symbol >= 0x20 && symbol <= 0x7E) || (symbol >= 0xA0 && symbol <= 0xFF))
        return static_cast<std::uint32_t>(symbol);
    if ((symbol & 0xFF000000UL) == 0x01000000UL) return static_cast<std::uint32_t>(symbol & 0x00FFFFFFUL);
    return 0;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x110000) {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace qmk::platform::x11
