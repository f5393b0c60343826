#include "widget/window/keyboard_state.h"

#include <SDL2/SDL_keyboard.h>

namespace Velto::Widget {

bool IsCapsLockOn() {
    return (SDL_GetModState() & KMOD_CAPS) != 0;
}

} // namespace Velto::Widget
