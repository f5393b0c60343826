#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Widget::Controls {

// How a text box reaches the clipboard: plain text in and out. The window
// layer connects it to the desktop clipboard; without it, copying and
// pasting do nothing.
struct TextClipboard {
    std::function<std::optional<std::u16string>()> read;
    std::function<bool(std::u16string_view)> write;
    // Whether there is text to paste (the menu disables Paste otherwise).
    std::function<bool()> hasText;
};

} // namespace Velto::Widget::Controls
