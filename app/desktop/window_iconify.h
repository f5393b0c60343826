#pragma once

namespace Velto::Widget {
class Window;
}

namespace App {

// Minimising and restoring the main window: the toolkit shows and hides
// windows but leaves their minimised state to the window manager.

// Asks the window manager to minimise the window (it stays in the task bar).
void MinimizeWindow(Velto::Widget::Window& window);
// Brings a minimised window back to its normal state; nothing otherwise.
void RestoreWindow(Velto::Widget::Window& window);
bool IsWindowMinimized(const Velto::Widget::Window& window);

} // namespace App
