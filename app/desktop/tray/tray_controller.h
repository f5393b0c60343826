#pragma once

#include "app/desktop/tray/tray_menu.h"
#include "app/run/environment_settings.h"
#include "app/texts/ui_language.h"
#include "widget/desktop/screen_point.h"
#include "widget/menu/context_menu.h"
#include "widget/menu/menu_item.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Window;
}

namespace Velto::Widget::Kit {
class TrayIcon;
}

namespace App {

// The program's tray icon: its icon, tooltip and menu in step with the
// server, the menu's commands, the notice it shows, and the popup menu for
// panels that ask the program to draw it. The tray icon is the entry
// point's; the controller's callbacks on it do nothing once it is gone.
class TrayController {
public:
    struct Hooks {
        // What the menu shows and in which language, read whenever it is built.
        std::function<TrayMenuState()> state;
        std::function<UiLanguage()> language;
        // The menu's commands; `showWindow` also answers a click on the icon
        // and on the notice.
        std::function<void()> showWindow;
        std::function<void()> toggleServer;
        std::function<void()> copyAddress;
        std::function<void()> exit;
    };

    TrayController(Velto::Widget::Kit::TrayIcon& tray, const EnvironmentSettings& settings,
                   Hooks hooks);
    ~TrayController();
    TrayController(const TrayController&) = delete;
    TrayController& operator=(const TrayController&) = delete;

    // Puts the icon into the panel, as for a stopped server.
    void Add();
    // The icon, tooltip and menu for the server's current state.
    void Update();
    // Opens the menu at a point of the screen (pixels), for panels that ask
    // the program to show it.
    void ShowMenu(Velto::Widget::Kit::ScreenPoint point);
    // The menu for the server's current state, with its commands.
    std::vector<Velto::Widget::MenuItem> MenuItems() const;
    // A notification from the icon; false when the desktop shows none.
    bool ShowNotice(const std::u16string& title, const std::u16string& text);
    // The program is ending: a menu still waiting for its window stays shut.
    void Stop() { m_stopped = true; }

private:
    Velto::Widget::Kit::TrayIcon& m_tray;
    const EnvironmentSettings& m_settings;
    Hooks m_hooks;
    bool m_stopped{false};
    bool m_openingMenu{false};
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};

    // The menu for panels that ask the program to draw it, and the
    // off-screen window it opens on.
    Velto::Widget::Menus::ContextMenu m_menu;
    std::unique_ptr<Velto::Widget::Window> m_menuAnchor;
};

} // namespace App
