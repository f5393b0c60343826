#pragma once

#include <string>

namespace Velto::Widget {

// How the toolkit starts (Application::Init).
struct ApplicationOptions {
    // Warms up text shaping and fonts during Init instead of with the first
    // window.
    bool initGraphicsEarly{false};
    // Kept for the callers' sake: X11 windows take their DPI from the
    // desktop's Xft.dpi setting either way.
    bool perMonitorDpiAware{false};
    // The window class (res_class) of the toolkit's windows; the program
    // passes "VeltoCorvane".
    std::string appName{"VeltoWidget"};
    std::string appTitle{"VeltoWidget"};
    // SDL's dummy video driver instead of X11: windows exist and render but
    // nothing reaches a display (screenshots without one).
    bool dummyVideo{false};
    // The DPI every window takes instead of the desktop's Xft.dpi (0: the
    // desktop's). Screenshots use it to render exactly what a user at that
    // scale sees without a display to carry the setting.
    float dpi{0};
    // Follows the desktop's colour scheme while running (the portal's
    // SettingChanged signal on the session bus).
    bool watchAppearance{true};
};

} // namespace Velto::Widget
