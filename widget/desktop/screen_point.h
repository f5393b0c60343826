#pragma once

namespace Velto::Widget::Kit {

// A position on the screen in device pixels.
struct ScreenPoint {
    int x{0};
    int y{0};

    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

} // namespace Velto::Widget::Kit
