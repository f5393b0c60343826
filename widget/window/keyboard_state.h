#pragma once

namespace Velto::Widget {

// Whether Caps Lock is on, as the keyboard events seen so far left it
// (SDL's modifier state). False before any window exists.
bool IsCapsLockOn();

} // namespace Velto::Widget
