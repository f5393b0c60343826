#include "app/desktop/window_iconify.h"

#include "widget/window/window.h"

#include <SDL.h>

namespace App {

void MinimizeWindow(Velto::Widget::Window& window) {
    if (SDL_Window* native = window.NativeWindow())
        SDL_MinimizeWindow(native);
}

void RestoreWindow(Velto::Widget::Window& window) {
    SDL_Window* native = window.NativeWindow();
    if (native != nullptr && (SDL_GetWindowFlags(native) & SDL_WINDOW_MINIMIZED) != 0)
        SDL_RestoreWindow(native);
}

bool IsWindowMinimized(const Velto::Widget::Window& window) {
    SDL_Window* native = window.NativeWindow();
    return native != nullptr && (SDL_GetWindowFlags(native) & SDL_WINDOW_MINIMIZED) != 0;
}

} // namespace App
