#include "widget/menu/global_pointer.h"

#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

namespace Velto::Widget::Menus {

std::optional<PointF> GlobalPointerPosition(SDL_Window* window) {
    if (window == nullptr)
        return std::nullopt;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return std::nullopt;
    ::Display* display = info.info.x11.display;
    ::Window root = 0;
    ::Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int buttons = 0;
    if (!::XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY,
                         &windowX, &windowY, &buttons))
        return std::nullopt;
    return PointF{static_cast<float>(rootX), static_cast<float>(rootY)};
}

} // namespace Velto::Widget::Menus
