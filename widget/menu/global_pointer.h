#pragma once

#include "widget/render/geometry.h"

#include <optional>

struct SDL_Window;

namespace Velto::Widget::Menus {

// Where the pointer is on the screen, in pixels, asked of the X server
// through the connection of the given window (none when it is not on X11).
// Menus track the pointer across their windows by this rather than by the
// positions of single window events, which are clamped into the window that
// reports them while the pointer is outside it.
std::optional<PointF> GlobalPointerPosition(SDL_Window* window);

} // namespace Velto::Widget::Menus
