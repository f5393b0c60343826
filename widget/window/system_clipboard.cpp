#include "widget/window/system_clipboard.h"

#include "base/utf.h"
#include "widget/render/bitmap.h"
#include "widget/window/application.h"
#include "widget/window/png_codec.h"
#include "widget/window/window.h"
#include "widget/window/x11_image_selection.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_clipboard.h>
#include <SDL2/SDL_stdinc.h>

#include <memory>

namespace Velto::Widget {
namespace {

struct SdlFree {
    void operator()(char* text) const { SDL_free(text); }
};

} // namespace

SystemClipboard::SystemClipboard() = default;

SystemClipboard::~SystemClipboard() {
    // At exit SDL may have closed its display connection already; the
    // selection window then went with it.
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        static_cast<void>(m_images.release());
}

bool SystemClipboard::GetText(Window*, std::u16string& text) {
    if (SDL_HasClipboardText() != SDL_TRUE)
        return false;
    const std::unique_ptr<char, SdlFree> utf8(SDL_GetClipboardText());
    if (utf8 == nullptr)
        return false;
    text = Utf8ToUtf16(utf8.get());
    return true;
}

bool SystemClipboard::SetText(Window* window, std::u16string_view text) {
    if (SDL_SetClipboardText(Utf16ToUtf8(text).c_str()) != 0)
        return false;
    if (X11::ImageSelection* selection = ImageSelectionFor(window))
        selection->NoteTextOwner();
    return true;
}

bool SystemClipboard::HasText() const {
    return SDL_HasClipboardText() == SDL_TRUE;
}

X11::ImageSelection* SystemClipboard::ImageSelectionFor(Window* window) {
    if (m_images != nullptr)
        return m_images.get();
    if (window == nullptr || !window->IsCreated()) {
        const std::vector<Window*> windows = Application::Instance().Windows();
        window = windows.empty() ? nullptr : windows.front();
    }
    if (window == nullptr)
        return nullptr;
    m_images = X11::ImageSelection::Create(window->NativeWindow());
    return m_images.get();
}

bool SystemClipboard::GetImage(Window* window, std::shared_ptr<const Bitmap>& image) {
    X11::ImageSelection* selection = ImageSelectionFor(window);
    if (selection == nullptr)
        return false;
    const std::optional<std::vector<std::uint8_t>> png = selection->ReadPng();
    if (!png)
        return false;
    std::shared_ptr<const Bitmap> decoded = DecodePng(*png);
    if (decoded == nullptr)
        return false;
    image = std::move(decoded);
    return true;
}

bool SystemClipboard::SetImage(Window* window, const Bitmap& image,
                               const ClipboardImageOptions& options) {
    X11::ImageSelection* selection = ImageSelectionFor(window);
    if (selection == nullptr)
        return false;
    std::vector<std::uint8_t> png = options.png.empty() ? EncodePng(image) : options.png;
    // Nothing here syncs a clipboard to a cloud; both wishes ask clipboard
    // managers to keep the image out of what they store.
    return selection->Offer(std::move(png), options.excludeFromCloud || options.excludeFromHistory);
}

bool SystemClipboard::HandleSystemEvent(const SDL_Event& event) {
    return m_images != nullptr && m_images->HandleEvent(event);
}

SystemClipboard& TheSystemClipboard() {
    static SystemClipboard clipboard;
    return clipboard;
}

} // namespace Velto::Widget
