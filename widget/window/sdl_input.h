#pragma once

#include "widget/core/events.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Widget {

// Translation of SDL's input values into the toolkit's events. Pure
// functions over SDL's numbers, so that the tables are testable without a
// display.

// The virtual-key number of an SDL key (its layout keycode, with the
// physical scancode for letters and digits when the layout gives no ASCII
// symbol); 0 for keys the toolkit has no number for.
std::uint32_t VirtualKeyOf(std::int32_t keycode, std::int32_t scancode);
// Keys that a PC keyboard reports with the extended flag (the navigation
// block, the right-hand Ctrl and Alt, the keypad's Enter and divide).
bool IsExtendedKey(std::int32_t keycode);
// kModShift, kModCtrl and kModAlt from SDL's modifier state.
std::uint32_t ModifiersOf(std::uint16_t sdlModifiers);
KeyEvent KeyEventOf(std::int32_t keycode, std::int32_t scancode, std::uint16_t sdlModifiers,
                    bool repeat);

// SDL counts clicks on (1, 2, 3, ...); the toolkit sees a press as a
// double click every second time, as the Windows original did.
int ClickCountOf(int sdlClicks);
// SDL_BUTTON_LEFT / MIDDLE / RIGHT; others are None.
PointerButton PointerButtonOf(std::uint8_t sdlButton);

// A composition's caret from SDL's code-point offset into UTF-16 units.
std::int32_t Utf16OffsetOf(std::u16string_view text, int codePoints);

} // namespace Velto::Widget
