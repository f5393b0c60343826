#include "widget/menu/popup_placement.h"

#include <algorithm>

namespace Velto::Widget {
namespace {

// Moves the popup inside the work area as far as its size allows; when it
// is larger, its left and top edges stay inside.
PixelRect ClampInto(PixelRect popup, const PixelRect& area) {
    popup.x = std::max(std::min(popup.x, area.Right() - popup.width), area.x);
    popup.y = std::max(std::min(popup.y, area.Bottom() - popup.height), area.y);
    return popup;
}

} // namespace

PixelRect PlacePopupBelow(PixelSize size, const PixelRect& anchor,
                          const std::optional<PixelRect>& workArea) {
    PixelRect popup{anchor.x, anchor.Bottom(), size.width, size.height};
    if (!workArea)
        return popup;
    if (popup.Bottom() > workArea->Bottom()) {
        const int above = anchor.y - size.height;
        if (above >= workArea->y)
            popup.y = above;
    }
    return ClampInto(popup, *workArea);
}

PixelRect PlacePopupBeside(PixelSize size, const PixelRect& anchor,
                           const std::optional<PixelRect>& workArea) {
    PixelRect popup{anchor.Right(), anchor.y, size.width, size.height};
    if (!workArea)
        return popup;
    if (popup.Right() > workArea->Right())
        popup.x = anchor.x - size.width;
    return ClampInto(popup, *workArea);
}

} // namespace Velto::Widget
