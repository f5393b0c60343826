#pragma once

#include "widget/menu/popup_placement.h"

namespace Velto::Widget::Menus {

class MenuPanel;

// The window that shows one open level of a menu. The menu session creates
// one per level through its services, fills its panel, places it and hides
// it; the window hands its pointer input back to the session in screen
// pixels. MenuPopup is the one for the desktop.
class MenuLevelWindow {
public:
    virtual ~MenuLevelWindow() = default;

    // The panel the window shows; it lives as long as the window.
    virtual MenuPanel& Panel() = 0;
    // The DPI scale (DPI / 96) the panel will be drawn at.
    virtual float DpiScale() const = 0;
    // Shows the window over `bounds` (screen pixels) without taking the
    // keyboard from the window that has it.
    virtual void ShowAt(const PixelRect& bounds) = 0;
    virtual void Hide() = 0;
    // Where the window is on the screen, in pixels.
    virtual PixelRect ScreenBounds() const = 0;
};

} // namespace Velto::Widget::Menus
