#include "widget/window/sdl_input.h"

#include "widget/input/key_codes.h"

#include <SDL2/SDL_keyboard.h>

namespace Velto::Widget {
namespace {

struct KeyPair {
    SDL_Keycode keycode;
    std::uint32_t virtualKey;
};

// Keys whose number does not follow from their symbol.
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, kKeyBackspace},
    {SDLK_TAB, kKeyTab},
    {SDLK_RETURN, kKeyEnter},
    {SDLK_KP_ENTER, kKeyEnter},
    {SDLK_RETURN2, kKeyEnter},
    {SDLK_LSHIFT, kKeyShift},
    {SDLK_RSHIFT, kKeyShift},
    {SDLK_LCTRL, kKeyCtrl},
    {SDLK_RCTRL, kKeyCtrl},
    {SDLK_LALT, kKeyAlt},
    {SDLK_RALT, kKeyAlt},
    {SDLK_PAUSE, 19},
    {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, kKeyEscape},
    {SDLK_SPACE, kKeySpace},
    {SDLK_PAGEUP, kKeyPageUp},
    {SDLK_PAGEDOWN, kKeyPageDown},
    {SDLK_END, kKeyEnd},
    {SDLK_HOME, kKeyHome},
    {SDLK_LEFT, kKeyLeft},
    {SDLK_UP, kKeyUp},
    {SDLK_RIGHT, kKeyRight},
    {SDLK_DOWN, kKeyDown},
    {SDLK_PRINTSCREEN, 44},
    {SDLK_INSERT, 45},
    {SDLK_DELETE, kKeyDelete},
    {SDLK_LGUI, 91},
    {SDLK_RGUI, 92},
    {SDLK_APPLICATION, kKeyApps},
    {SDLK_MENU, kKeyApps},
    {SDLK_KP_0, 96},
    {SDLK_KP_1, 97},
    {SDLK_KP_2, 98},
    {SDLK_KP_3, 99},
    {SDLK_KP_4, 100},
    {SDLK_KP_5, 101},
    {SDLK_KP_6, 102},
    {SDLK_KP_7, 103},
    {SDLK_KP_8, 104},
    {SDLK_KP_9, 105},
    {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},
    {SDLK_KP_PERIOD, 110},
    {SDLK_KP_DECIMAL, 110},
    {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},
    {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},
    {SDLK_PLUS, 187},
    {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},
    {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

constexpr std::uint32_t kKeyF13 = 124;
constexpr std::uint32_t kKeyF24 = 135;

} // namespace

std::uint32_t VirtualKeyOf(std::int32_t keycode, std::int32_t scancode) {
    if (keycode >= 'a' && keycode <= 'z')
        return static_cast<std::uint32_t>(keycode - 'a' + 'A');
    if (keycode >= '0' && keycode <= '9')
        return static_cast<std::uint32_t>(keycode);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12)
        return kKeyF1 + static_cast<std::uint32_t>(keycode - SDLK_F1);
    if (keycode >= SDLK_F13 && keycode <= SDLK_F24)
        return kKeyF13 + static_cast<std::uint32_t>(keycode - SDLK_F13);
    static_assert(kKeyF13 + (SDLK_F24 - SDLK_F13) == kKeyF24);
    for (const KeyPair& pair : kKeys)
        if (pair.keycode == keycode)
            return pair.virtualKey;
    // A layout without Latin letters still has the keys where they are.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return static_cast<std::uint32_t>('A' + (scancode - SDL_SCANCODE_A));
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return static_cast<std::uint32_t>('1' + (scancode - SDL_SCANCODE_1));
    if (scancode == SDL_SCANCODE_0)
        return '0';
    return 0;
}

bool IsExtendedKey(std::int32_t keycode) {
    switch (keycode) {
    case SDLK_INSERT:
    case SDLK_DELETE:
    case SDLK_HOME:
    case SDLK_END:
    case SDLK_PAGEUP:
    case SDLK_PAGEDOWN:
    case SDLK_LEFT:
    case SDLK_RIGHT:
    case SDLK_UP:
    case SDLK_DOWN:
    case SDLK_RCTRL:
    case SDLK_RALT:
    case SDLK_KP_ENTER:
    case SDLK_KP_DIVIDE:
    case SDLK_NUMLOCKCLEAR:
    case SDLK_PRINTSCREEN:
    case SDLK_LGUI:
    case SDLK_RGUI:
    case SDLK_APPLICATION:
        return true;
    default:
        return false;
    }
}

std::uint32_t ModifiersOf(std::uint16_t sdlModifiers) {
    std::uint32_t modifiers = 0;
    if ((sdlModifiers & KMOD_SHIFT) != 0)
        modifiers |= kModShift;
    if ((sdlModifiers & KMOD_CTRL) != 0)
        modifiers |= kModCtrl;
    if ((sdlModifiers & KMOD_ALT) != 0)
        modifiers |= kModAlt;
    return modifiers;
}

KeyEvent KeyEventOf(std::int32_t keycode, std::int32_t scancode, std::uint16_t sdlModifiers,
                    bool repeat) {
    KeyEvent event;
    event.virtualKey = VirtualKeyOf(keycode, scancode);
    event.scanCode = static_cast<std::uint32_t>(scancode);
    event.modifiers = ModifiersOf(sdlModifiers);
    event.repeat = repeat;
    event.extended = IsExtendedKey(keycode);
    // Alt held (or Alt itself, or F10) made a system key on Windows.
    event.systemKey = (event.modifiers & kModAlt) != 0 || event.virtualKey == kKeyAlt ||
                      event.virtualKey == KeyF(10);
    return event;
}

int ClickCountOf(int sdlClicks) {
    return (sdlClicks >= 2 && sdlClicks % 2 == 0) ? 2 : 1;
}

PointerButton PointerButtonOf(std::uint8_t sdlButton) {
    switch (sdlButton) {
    case 1: // SDL_BUTTON_LEFT
        return PointerButton::Left;
    case 2: // SDL_BUTTON_MIDDLE
        return PointerButton::Middle;
    case 3: // SDL_BUTTON_RIGHT
        return PointerButton::Right;
    default:
        return PointerButton::None;
    }
}

std::int32_t Utf16OffsetOf(std::u16string_view text, int codePoints) {
    std::int32_t units = 0;
    for (int seen = 0; seen < codePoints && static_cast<std::size_t>(units) < text.size(); ++seen) {
        const char16_t unit = text[static_cast<std::size_t>(units)];
        const bool pair =
            unit >= 0xD800 && unit <= 0xDBFF && static_cast<std::size_t>(units) + 1 < text.size();
        units += pair ? 2 : 1;
    }
    return units;
}

} // namespace Velto::Widget
