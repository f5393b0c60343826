#pragma once

namespace App {

// Whether the session has a panel that shows notification-area icons: a
// StatusNotifierWatcher on the session bus that reports a registered host.
// Desktops without one (GNOME without its AppIndicator extension) leave the
// tray icon invisible. Waits at most kTrayHostQueryMs for the answer.
inline constexpr unsigned kTrayHostQueryMs = 1000;
bool TrayHostPresent();

} // namespace App
