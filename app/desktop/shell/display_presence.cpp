#include "app/desktop/shell/display_presence.h"

#include "base/environment_variable.h"

namespace App {

bool HasDisplay() {
    return !Velto::EnvironmentVariable("DISPLAY").empty() ||
           !Velto::EnvironmentVariable("WAYLAND_DISPLAY").empty();
}

} // namespace App
