#pragma once

namespace Velto::Widget::Kit {

// Whether the desktop on $DISPLAY has something that brings a minimised
// window back: a task bar or dock (a mapped window of type
// _NET_WM_WINDOW_TYPE_DOCK) or a shell that lists windows itself (GNOME
// Shell's overview). A bare window manager has neither, and a minimised
// window there is lost from sight. False without a display.
bool MinimizedWindowsCanComeBack();

} // namespace Velto::Widget::Kit
