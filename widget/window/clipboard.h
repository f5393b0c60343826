#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Widget {

class Bitmap;
class Window;

struct ClipboardImageOptions {
    // Clipboard managers that sync or keep a history are asked to skip it.
    bool excludeFromCloud{false};
    bool excludeFromHistory{false};
    // Ready-made PNG bytes of the image; otherwise they are encoded from it.
    std::vector<std::uint8_t> png;
};

// The desktop clipboard as the toolkit's controls see it. The window is the
// one asking (none: any of the application's).
class IClipboard {
public:
    virtual ~IClipboard() = default;
    virtual bool GetText(Window* window, std::u16string& text) = 0;
    virtual bool SetText(Window* window, std::u16string_view text) = 0;
    virtual bool GetImage(Window* window, std::shared_ptr<const Bitmap>& image) = 0;
    virtual bool SetImage(Window* window, const Bitmap& image,
                          const ClipboardImageOptions& options) = 0;
};

} // namespace Velto::Widget
