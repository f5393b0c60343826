#include "app/display_presence.h"

#include <cstdlib>

namespace App {
namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

bool HasDisplay() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

} // namespace App
