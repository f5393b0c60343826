#pragma once

#include "widget/render/theme.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Velto::Widget {

// What the desktop says about its appearance; every source is optional and a
// missing one leaves its field empty.
struct SystemAppearance {
    // org.freedesktop.appearance color-scheme from the desktop portal:
    // 0 no preference, 1 prefer dark, 2 prefer light.
    std::optional<std::uint32_t> portalColorScheme;
    // org.gnome.desktop.interface color-scheme from gsettings:
    // "default", "prefer-dark" or "prefer-light".
    std::optional<std::string> gsettingsColorScheme;
    // org.freedesktop.appearance accent-color from the desktop portal.
    std::optional<Color> accent;
    // org.gnome.desktop.a11y.interface high-contrast from gsettings.
    std::optional<bool> highContrast;
};

// Asks the desktop portal over the session bus and then gsettings; a source
// that is not there (no bus, no portal, no schema) is skipped quickly.
SystemAppearance ReadSystemAppearance();

// The theme the appearance asks for: high contrast when it is on; otherwise
// dark or light from the portal's colour scheme, else from gsettings, else
// light; with the desktop's accent or the default one.
Theme ThemeFromAppearance(const SystemAppearance& appearance);

Theme SystemTheme();
Color SystemAccent();
bool IsHighContrast();

} // namespace Velto::Widget
