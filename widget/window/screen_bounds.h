#pragma once

namespace Velto::Widget {

// A rectangle on the screen in device pixels; right and bottom are
// exclusive.
struct ScreenBounds {
    int x{0};
    int y{0};
    int width{0};
    int height{0};

    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool Contains(int px, int py) const {
        return px >= x && py >= y && px < Right() && py < Bottom();
    }

    friend bool operator==(const ScreenBounds&, const ScreenBounds&) = default;
};

} // namespace Velto::Widget
