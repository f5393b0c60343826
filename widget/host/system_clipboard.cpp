#include "widget/host/system_clipboard.h"

#include "base/utf.h"

#include <SDL2/SDL_clipboard.h>
#include <SDL2/SDL_stdinc.h>

#include <memory>

namespace Velto::Widget::Input {
namespace {

struct SdlFree {
    void operator()(char* text) const { SDL_free(text); }
};

} // namespace

bool SystemClipboard::GetText(Window*, std::u16string& text) {
    if (SDL_HasClipboardText() != SDL_TRUE)
        return false;
    const std::unique_ptr<char, SdlFree> utf8(SDL_GetClipboardText());
    if (utf8 == nullptr)
        return false;
    text = Utf8ToUtf16(utf8.get());
    return true;
}

bool SystemClipboard::SetText(Window*, std::u16string_view text) {
    return SDL_SetClipboardText(Utf16ToUtf8(text).c_str()) == 0;
}

bool SystemClipboard::HasText() const {
    return SDL_HasClipboardText() == SDL_TRUE;
}

bool SystemClipboard::GetImage(Window*, std::shared_ptr<const Bitmap>&) {
    return false;
}

bool SystemClipboard::SetImage(Window*, const Bitmap&, const ClipboardImageOptions&) {
    return false;
}

SystemClipboard& TheSystemClipboard() {
    static SystemClipboard clipboard;
    return clipboard;
}

} // namespace Velto::Widget::Input
