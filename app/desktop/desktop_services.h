#pragma once

#include "app/desktop/window_services.h"

namespace App {

// Fills the services that need no window: the browser and the file manager
// through the program's shell actions, the desktop's icons for shares and
// the start-at-sign-in entry.
void AddDesktopShellServices(WindowServices& services);

} // namespace App
