#pragma once

#include "app/desktop/main_window.h"
#include "app/texts/ui_language.h"
#include "widget/window/window.h"
#include "widget/desktop/file_drop_target.h"
#include "widget/menu/context_menu.h"

#include <memory>
#include <string>
#include <vector>

namespace Velto::Corvane {
class CorvaneService;
}

namespace App {

// The main window on the desktop: the toolkit's window with the program's
// title, size, class and icon, following the colour choice, with tooltips,
// the clipboard, the dialogs and pickers it owns, the scope menu and files
// dropped onto it.
class DesktopWindow {
public:
    static constexpr float kMinWidth = 640;
    static constexpr float kMinHeight = 480;
    // WM_CLASS, whatever the toolkit's application name.
    static constexpr const char* kWindowClass = "VeltoCorvane";

    DesktopWindow(Velto::Corvane::CorvaneService& service, MainWindow::Hooks hooks,
                  UiLanguage language);
    ~DesktopWindow();
    DesktopWindow(const DesktopWindow&) = delete;
    DesktopWindow& operator=(const DesktopWindow&) = delete;

    // Opens the native window, hidden, with the frame in it; false when no
    // window could be made.
    bool Create();
    // Shows and activates the window; parked (screenshots, tests) it is
    // shown without taking the keyboard.
    void Show(bool parked);

    MainWindow& Main() { return *m_main; }
    Velto::Widget::Window& Native() { return m_window; }

private:
    WindowServices MakeServices();
    void ShowScopeMenu(Velto::Widget::Widget& anchor, std::vector<Velto::Widget::MenuItem> items,
                       std::function<void(std::uint32_t)> chosen);

    Velto::Widget::Window m_window;
    // Kept so that the menu outlives the click that opened it.
    Velto::Widget::Menus::ContextMenu m_scopeMenu;
    Velto::Widget::Kit::FileDropTarget m_drops;
    std::unique_ptr<MainWindow> m_main;
};

} // namespace App
