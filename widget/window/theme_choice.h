#pragma once

#include "widget/render/theme.h"

#include <cstdint>
#include <functional>

namespace Velto::Widget {
class Window;
} // namespace Velto::Widget

namespace Velto::Widget::Kit {

// The program's colour choice: follow the desktop, or force light or dark.
enum class ThemeChoice : std::int32_t { System = 0, Light = 1, Dark = 2 };

// The choice is one process-wide value, read and written atomically.
ThemeChoice CurrentThemeChoice();
// Stores the choice; every window then asks its theme source again and
// redraws. UI thread.
void SetThemeChoice(ThemeChoice choice);

// The theme for a choice: high contrast when the desktop has it on, else
// light or dark with the desktop's accent (System: as the desktop says).
Theme ThemeForChoice(ThemeChoice choice);

// Makes the window take its theme from the colour choice from now on (and
// at once); `customise`, when set, may change each theme before it is used.
using ThemeCustomiser = std::function<void(Theme&)>;
void FollowThemeChoice(Window& window, ThemeCustomiser customise);

} // namespace Velto::Widget::Kit
