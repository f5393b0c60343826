#pragma once

namespace App {

// Whether a graphical session is reachable: $DISPLAY or $WAYLAND_DISPLAY is set
// and not empty.
bool HasDisplay();

} // namespace App
