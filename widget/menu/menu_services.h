#pragma once

#include "widget/menu/popup_placement.h"
#include "widget/render/geometry.h"

#include <functional>
#include <memory>
#include <optional>

namespace Velto::Widget {
class InputRouter;
} // namespace Velto::Widget

namespace Velto::Widget::Menus {

class MenuLevelWindow;
class MenuSession;

// What a menu needs from the windows around it. ContextMenu fills these in
// from the owner window; tests give their own.
struct MenuServices {
    // The host whose window keeps the keyboard while the menu is open: the
    // menu's key route goes on it, and so does its submenu timer. None: the
    // menu takes no keys.
    InputRouter* keyRouter{nullptr};
    // Runs a task on the UI thread after the current input has been handled
    // (Application::Post). Without it, the chosen item's handler runs right
    // after the menu has closed.
    std::function<void(std::function<void()>)> post;
    // The work area of the monitor that holds a point of the screen (pixels);
    // none when no monitor is known.
    std::function<std::optional<PixelRect>(int x, int y)> workAreaAt;
    // Where the pointer is on the screen (pixels). A menu that opens under
    // a resting pointer makes nothing hot until the pointer moves.
    std::function<std::optional<PointF>()> pointerPosition;
    // Creates the window of one level (0 is the top level). None on failure.
    std::function<std::unique_ptr<MenuLevelWindow>(MenuSession& session, int level)> createLevel;
};

} // namespace Velto::Widget::Menus
