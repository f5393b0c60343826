#include "app/desktop/tray/tray_controller.h"

#include "app/desktop/tray/tray_icons.h"
#include "app/run/trace_file.h"
#include "app/texts/text_table.h"
#include "widget/window/application.h"
#include "widget/window/kit_settings.h"
#include "widget/window/theme_choice.h"
#include "widget/window/window.h"
#include "widget/window/window_options.h"
#include "widget/tray/tray_icon.h"

#include <chrono>

namespace App {

using namespace Velto::Widget;

namespace {

constexpr char kTrayId[] = "VeltoCorvane";
// The menu's anchor: one pixel, off every screen.
constexpr int kAnchorPosition = -32000;
constexpr int kAnchorSize = 1;
// How long the anchor may take to be placed before the menu opens on it.
constexpr std::chrono::milliseconds kAnchorSettleTime{2000};

} // namespace

TrayController::TrayController(Kit::TrayIcon& tray, const EnvironmentSettings& settings,
                               Hooks hooks)
    : m_tray(tray), m_settings(settings), m_hooks(std::move(hooks)) {}

TrayController::~TrayController() {
    m_menu.Close();
}

void TrayController::Add() {
    Kit::TrayOptions options;
    options.icon = TrayIconFor(false);
    options.tooltip = Text(TextId::TrayServerOff, m_hooks.language());
    options.hidden = m_settings.trayHidden;
    options.useShell = !m_settings.trayHidden;
    options.id = kTrayId;
    m_tray.SetOnTrace([](std::string_view line) { Trace(line); });
    const std::weak_ptr<bool> alive = m_alive;
    m_tray.SetOnSelect([this, alive](Kit::ScreenPoint) {
        if (alive.lock())
            m_hooks.showWindow();
    });
    m_tray.SetOnContextMenu([this, alive](Kit::ScreenPoint point) {
        if (alive.lock())
            ShowMenu(point);
    });
    m_tray.SetMenuProvider(
        [this, alive] { return alive.lock() ? MenuItems() : std::vector<MenuItem>{}; });
    m_tray.SetMenu(MenuItems());
    m_tray.Add(options);
}

void TrayController::Update() {
    const bool running = m_hooks.state().running;
    m_tray.SetIcon(TrayIconFor(running));
    m_tray.SetTooltip(
        Text(running ? TextId::TrayServerOn : TextId::TrayServerOff, m_hooks.language()));
    // Panels that do not ask before opening the menu see the current one.
    m_tray.SetMenu(MenuItems());
}

std::vector<MenuItem> TrayController::MenuItems() const {
    std::vector<MenuItem> items = BuildTrayMenu(m_hooks.state(), m_hooks.language());
    for (MenuItem& item : items) {
        switch (item.id) {
        case kTrayOpen:
            item.command = m_hooks.showWindow;
            break;
        case kTrayToggleServer:
            item.command = m_hooks.toggleServer;
            break;
        case kTrayCopyAddress:
            item.command = m_hooks.copyAddress;
            break;
        case kTrayExit:
            item.command = m_hooks.exit;
            break;
        default:
            break;
        }
    }
    return items;
}

void TrayController::ShowMenu(Kit::ScreenPoint point) {
    if (m_openingMenu)
        return;
    if (!m_menuAnchor) {
        WindowOptions options;
        options.hasBounds = true;
        options.boundsX = kAnchorPosition;
        options.boundsY = kAnchorPosition;
        options.boundsWidth = kAnchorSize;
        options.boundsHeight = kAnchorSize;
        options.frame = 1;
        options.toolWindow = true;
        options.resizable = false;
        Kit::ApplyWindowOptionsHook(options);
        auto anchor = std::make_unique<Velto::Widget::Window>();
        if (!anchor->Create(options))
            return;
        Kit::FollowThemeChoice(*anchor, {});
        m_menuAnchor = std::move(anchor);
    }
    // Parked (automated runs) the menu never takes the foreground.
    const bool activate = !m_settings.parkWindows;
    m_menuAnchor->Show(activate);
    // The window manager places and focuses the anchor after it is mapped;
    // a menu opened before that would close at once as its owner moves.
    m_openingMenu = true;
    const auto settled = std::chrono::steady_clock::now() + kAnchorSettleTime;
    Application::Instance().RunUntil([&] {
        return (activate && m_menuAnchor->IsActive()) || std::chrono::steady_clock::now() > settled;
    });
    m_openingMenu = false;
    if (m_stopped)
        return;
    m_menu.SetItems(MenuItems());
    const std::weak_ptr<bool> alive = m_alive;
    m_menu.SetOnClosed([this, alive] {
        if (alive.lock() && m_menuAnchor)
            m_menuAnchor->Hide();
    });
    const Velto::Widget::ScreenBounds client = m_menuAnchor->ClientScreenBounds();
    const float scale = m_menuAnchor->DpiScale();
    m_menu.Show(*m_menuAnchor, PointF{static_cast<float>(point.x - client.x) / scale,
                                      static_cast<float>(point.y - client.y) / scale});
}

bool TrayController::ShowNotice(const std::u16string& title, const std::u16string& text) {
    Kit::TrayBalloon balloon;
    balloon.title = title;
    balloon.text = text;
    const std::weak_ptr<bool> alive = m_alive;
    return m_tray.ShowBalloon(balloon, [this, alive] {
        if (alive.lock())
            m_hooks.showWindow();
    });
}

} // namespace App
