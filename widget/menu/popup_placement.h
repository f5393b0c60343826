#pragma once

#include <optional>

namespace Velto::Widget {

// A rectangle on the screen in device pixels; right and bottom are
// exclusive.
struct PixelRect {
    int x{0};
    int y{0};
    int width{0};
    int height{0};

    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Contains(float px, float py) const {
        return px >= static_cast<float>(x) && py >= static_cast<float>(y) &&
               px < static_cast<float>(Right()) && py < static_cast<float>(Bottom());
    }

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct PixelSize {
    int width{0};
    int height{0};

    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// Where a popup of `size` goes against an anchor, inside the work area of
// the monitor that holds the anchor's centre (none: no monitor is known, and
// the first choice stands unclamped).
//
// Below: the popup hangs from the anchor's bottom-left corner, or sits on
// its top edge when there is no room underneath and it then still starts
// inside the work area. Context menus anchor at a point (an empty
// rectangle), drop-downs at their widget.
PixelRect PlacePopupBelow(PixelSize size, const PixelRect& anchor,
                          const std::optional<PixelRect>& workArea);
// Beside: the popup starts at the anchor's top-right corner, or ends at its
// left edge when it would cross the work area's right edge (submenus next
// to their item).
PixelRect PlacePopupBeside(PixelSize size, const PixelRect& anchor,
                           const std::optional<PixelRect>& workArea);

} // namespace Velto::Widget
