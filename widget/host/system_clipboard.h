#pragma once

#include "widget/host/clipboard.h"

namespace Velto::Widget::Input {

// The X clipboard (the CLIPBOARD selection) through SDL. Text is UTF-8 on
// the wire. UI thread.
class SystemClipboard final : public IClipboard {
public:
    bool GetText(Window* window, std::u16string& text) override;
    bool SetText(Window* window, std::u16string_view text) override;
    bool HasText() const;
    // Images are not offered on this clipboard yet: both answer false.
    bool GetImage(Window* window, std::shared_ptr<const Bitmap>& image) override;
    bool SetImage(Window* window, const Bitmap& image,
                  const ClipboardImageOptions& options) override;
};

// The toolkit's one system clipboard, for its text inputs.
SystemClipboard& TheSystemClipboard();

} // namespace Velto::Widget::Input
