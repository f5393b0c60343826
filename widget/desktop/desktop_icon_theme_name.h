#pragma once

#include <string>

namespace Velto::Widget::Kit {

// The icon theme the desktop uses (gsettings org.gnome.desktop.interface
// icon-theme), else "Adwaita".
std::string DesktopIconThemeName();

} // namespace Velto::Widget::Kit
