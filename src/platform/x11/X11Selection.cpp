// The selections the X11 window backend owns: CLIPBOARD, the contract of
// the seam, and PRIMARY, which it offers too. The text is kept as UTF-8
// and handed to other programs that ask while the owner window lives and
// no other program has taken the selection since.
#include <string>
#include <string_view>

#include <X11/Xatom.h>

#include "platform/x11/X11User.h"
#include "runtime/Cp932.h"

namespace qmk::platform::x11 {

namespace {

// UTF-8 to Latin-1 for requestors that only take STRING; other characters
// become "?".
std::string Utf8ToLatin1(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0;
        std::size_t length = 1;
        if (b < 0x80) code = b;
        else if ((b & 0xE0) == 0xC0) { code = b & 0x1F; length = 2; }
        else if ((b & 0xF0) == 0xE0) { code = b & 0x0F; length = 3; }
        else if ((b & 0xF8) == 0xF0) { code = b & 0x07; length = 4; }
        else { code = '?'; }
        if (i + length > text.size()) {
            code = '?';
            length = text.size() - i;
        } else {
            for (std::size_t k = 1; k < length; ++k) {
                auto c = static_cast<unsigned char>(text[i + k]);
                if ((c & 0xC0) != 0x80) {
                    code = '?';
                    length = k;
                    break;
                }
                code = (code << 6) | (c & 0x3F);
            }
        }
        out.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
        i += length;
    }
    return out;
}

}  // namespace

void X11User::SetClipboardText(WindowHandle owner, std::string_view text, std::uint32_t time) {
    Claim(clipboard_, owner, text, time);
}

void X11User::OfferSelectionText(WindowHandle owner, std::string_view text, std::uint32_t time) {
    Claim(XA_PRIMARY, owner, text, time);
}

X11User::OwnedSelection* X11User::SlotOf(Atom selection) {
    if (selection == XA_PRIMARY) return &selections_[0];
    if (selection == clipboard_) return &selections_[1];
    return nullptr;
}

void X11User::Claim(Atom selection, WindowHandle owner, std::string_view cp932, std::uint32_t time) {
    auto id = static_cast<Window>(owner);
    if (Find(id) == nullptr) return;
    const Time when = time != 0 ? static_cast<Time>(time) : CurrentTime;
    XSetSelectionOwner(dpy_, selection, id, when);
    OwnedSelection& owned = *SlotOf(selection);
    if (XGetSelectionOwner(dpy_, selection) != id) {
        owned = OwnedSelection{};
        return;
    }
    owned.Owner = id;
    owned.Since = when;
    owned.Utf8 = Cp932ToUtf8(cp932);
}

bool X11User::ConvertSelection(const OwnedSelection& owned, Atom target, Window requestor,
                               Atom property) {
    if (target == targets_) {
        long list[] = {static_cast<long>(targets_), static_cast<long>(timestamp_),
                       static_cast<long>(utf8String_), static_cast<long>(XA_STRING),
                       static_cast<long>(text_)};
        XChangeProperty(dpy_, requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(list), 5);
        return true;
    }
    if (target == timestamp_) {
        long since = static_cast<long>(owned.Since);
        XChangeProperty(dpy_, requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&since), 1);
        return true;
    }
    std::string data;
    Atom type;
    if (target == utf8String_ || target == text_) {
        data = owned.Utf8;
        type = utf8String_;
    } else if (target == XA_STRING) {
        data = Utf8ToLatin1(owned.Utf8);
        type = XA_STRING;
    } else {
        return false;
    }
    // Larger texts would need the incremental protocol; the program's
    // texts are a few lines, so such a request is refused instead.
    long limit = XExtendedMaxRequestSize(dpy_);
    if (limit == 0) limit = XMaxRequestSize(dpy_);
    if (static_cast<long>(data.size()) > limit * 4 - 256) return false;
    XChangeProperty(dpy_, requestor, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
    return true;
}

void X11User::AnswerSelectionRequest(const XSelectionRequestEvent& request) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = dpy_;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;

    const OwnedSelection* owned = SlotOf(request.selection);
    // Obsolete requestors name no property: the target stands for it.
    const Atom property = request.property != None ? request.property : request.target;
    if (owned != nullptr && owned->Owner == request.owner && owned->Owner != 0 &&
        (request.time == CurrentTime || owned->Since == CurrentTime || request.time >= owned->Since) &&
        ConvertSelection(*owned, request.target, request.requestor, property)) {
        reply.xselection.property = property;
    }
    XSendEvent(dpy_, request.requestor, False, NoEventMask, &reply);
    XFlush(dpy_);
}

void X11User::ForgetSelection(const XSelectionClearEvent& event) {
    // Another program took the selection: the text is no longer ours to
    // hand out. A clear older than our latest claim belongs to an earlier
    // ownership.
    OwnedSelection* owned = SlotOf(event.selection);
    if (owned != nullptr && owned->Owner == event.window) *owned = OwnedSelection{};
}

}  // namespace qmk::platform::x11
