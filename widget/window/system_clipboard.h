#pragma once

#include "widget/window/clipboard.h"

#include <memory>

union SDL_Event;

namespace Velto::Widget::X11 {
class ImageSelection;
} // namespace Velto::Widget::X11

namespace Velto::Widget {

// The X clipboard (the CLIPBOARD selection): text through SDL (UTF-8 on the
// wire), images as image/png through a selection window of our own. UI
// thread.
class SystemClipboard final : public IClipboard {
public:
    SystemClipboard();
    ~SystemClipboard() override;

    bool GetText(Window* window, std::u16string& text) override;
    bool SetText(Window* window, std::u16string_view text) override;
    bool HasText() const;
    // The window is any of the program's (none: the first one); images
    // need one on the X display.
    bool GetImage(Window* window, std::shared_ptr<const Bitmap>& image) override;
    bool SetImage(Window* window, const Bitmap& image,
                  const ClipboardImageOptions& options) override;
    // The UI loop hands it X events for windows SDL does not know; true when
    // the image selection took one.
    bool HandleSystemEvent(const SDL_Event& event);

private:
    X11::ImageSelection* ImageSelectionFor(Window* window);

    std::unique_ptr<X11::ImageSelection> m_images;
};

// The toolkit's one system clipboard, for its text inputs.
SystemClipboard& TheSystemClipboard();

} // namespace Velto::Widget
