#include "app/desktop/program.h"

#include "app/desktop/desktop_window.h"
#include "app/desktop/dialog_shots.h"
#include "app/desktop/extra_pages.h"
#include "app/desktop/no_tray_notice.h"
#include "app/desktop/screenshot_mode.h"
#include "app/desktop/tray_host_presence.h"
#include "app/desktop/tray_icons.h"
#include "app/desktop/tray_menu.h"
#include "app/desktop/window_iconify.h"
#include "app/text_format.h"
#include "app/text_table.h"
#include "app/trace_file.h"
#include "app/value_format.h"
#include "base/utf.h"
#include "service/corvane_service.h"
#include "widget/dialogs/message_dialog.h"
#include "widget/tray/tray_icon.h"
#include "widget/window/application.h"
#include "widget/window/kit_settings.h"
#include "widget/window/standard_labels.h"
#include "widget/window/system_clipboard.h"
#include "widget/window/theme_choice.h"
#include "widget/window/window.h"
#include "widget/window/window_options.h"

#include <chrono>
#include <cmath>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::Config;

namespace {

constexpr std::u16string_view kQuitCommand = u"quit";
constexpr std::u16string_view kDropPrefix = u"drop:";
constexpr char kTrayId[] = "VeltoCorvane";
// The tray menu's anchor: one pixel, off every screen.
constexpr int kAnchorPosition = -32000;
constexpr int kAnchorSize = 1;
// How long the anchor may take to be placed before the menu opens on it.
constexpr std::chrono::milliseconds kAnchorSettleTime{2000};

Kit::ThemeChoice ThemeChoiceFor(std::u16string_view theme) {
    if (theme == u"light")
        return Kit::ThemeChoice::Light;
    if (theme == u"dark")
        return Kit::ThemeChoice::Dark;
    return Kit::ThemeChoice::System;
}

void Post(std::function<void()> task) {
    Application::Instance().Post(std::move(task));
}

} // namespace

Program::Program(Velto::Corvane::CorvaneService& service, Kit::TrayIcon& tray,
                 const EnvironmentSettings& settings, std::string configPath)
    : m_service(service), m_tray(tray), m_settings(settings), m_configPath(std::move(configPath)) {}

Program::~Program() {
    Detach();
    m_trayMenu.Close();
    if (m_window)
        m_window->Main().SetCloseHook({});
}

std::function<void()> Program::Guarded(void (Program::*method)()) {
    std::weak_ptr<bool> alive = m_alive;
    return [this, alive, method] {
        if (alive.lock())
            (this->*method)();
    };
}

bool Program::Start(bool showWindow) {
    const bool loaded = m_service.LoadConfiguration();
    ApplyLook();

    m_window = std::make_unique<DesktopWindow>(m_service, MakeHooks(), m_language);
    ExtraPageHooks pageHooks;
    pageHooks.applyLook = LookChanged();
    m_window->Main().SetExtraPages(MakeExtraPages(m_service, std::move(pageHooks)));
    m_hasExtraPages = true;
    if (!m_window->Create()) {
        m_window.reset();
        return false;
    }
    m_window->Main().SetCloseHook([this] { return OnClose(); });
    AddTray();

    // Other threads only raise a flag and, when it was down, post one
    // refresh: a burst of changes makes a single one.
    const std::shared_ptr<Pending> pending = m_pending;
    const std::weak_ptr<bool> alive = m_alive;
    m_service.SetOnOutsideChanged([this, pending, alive] {
        if (pending->status.exchange(true))
            return;
        Post([this, pending, alive] {
            pending->status = false;
            if (!alive.lock() || !m_window)
                return;
            m_window->Main().Refresh();
            UpdateTray();
        });
    });
    m_service.Log().SetOnAppend([this, pending, alive](const Velto::Corvane::AccessLogEntry&) {
        if (pending->log.exchange(true))
            return;
        Post([this, pending, alive] {
            pending->log = false;
            if (!alive.lock() || !m_window)
                return;
            if (m_window->Main().CurrentPage() == MainWindow::kLogPage)
                m_window->Main().Refresh();
        });
    });

    if (m_service.GetConfig().startServerOnLaunch) {
        const Velto::Result result = m_service.Start();
        if (Velto::Failed(result))
            Trace("server failed " + FormatHex32(static_cast<std::uint32_t>(result)));
        else
            Trace("server started port=" + std::to_string(m_service.GetStatus().port));
    }

    m_window->Main().Refresh();
    UpdateTray();
    if (showWindow)
        ShowWindow();
    Trace(std::string("started window=") + (showWindow ? "1" : "0"));

    if (!loaded) {
        Kit::ShowMessage(
            &m_window->Native(), Text(TextId::AppName, m_language),
            Format(TextId::SettingsNotRead, m_language, {Velto::Utf8ToUtf16(m_configPath)}),
            Kit::MessageButtons::Ok, Kit::MessageIcon::Warning);
    }
    return true;
}

void Program::Detach() {
    m_service.SetOnOutsideChanged({});
    m_service.Log().SetOnAppend({});
}

void Program::ApplyLook() {
    const Config config = m_service.GetConfig();
    m_language = ChooseUiLanguage(config.language, SystemUiLanguage(ReadLocaleEnvironment()));
    Kit::SetLabelLanguage(IsKorean(m_language) ? Kit::kLanguageKorean : Kit::kLanguageEnglish);
    Kit::SetThemeChoice(ThemeChoiceFor(config.theme));
}

void Program::SwitchLanguage(UiLanguage language) {
    m_language = language;
    Kit::SetLabelLanguage(IsKorean(language) ? Kit::kLanguageKorean : Kit::kLanguageEnglish);
    if (m_window)
        m_window->Main().Rebuild(language);
}

MainWindow::Hooks Program::MakeHooks() {
    MainWindow::Hooks hooks;
    hooks.onServerStateChanged = Guarded(&Program::UpdateTray);
    hooks.onAppearanceChanged = LookChanged();
    return hooks;
}

std::function<void()> Program::LookChanged() {
    const std::weak_ptr<bool> alive = m_alive;
    // Posted: the settings page that reports it is rebuilt by it.
    return [this, alive] {
        Post([this, alive] {
            if (!alive.lock())
                return;
            ApplyLook();
            if (m_window)
                m_window->Main().Rebuild(m_language);
            UpdateTray();
        });
    };
}

void Program::AddTray() {
    Kit::TrayOptions options;
    options.icon = TrayIconFor(false);
    options.tooltip = Text(TextId::TrayServerOff, m_language);
    options.hidden = m_settings.trayHidden;
    options.useShell = !m_settings.trayHidden;
    options.id = kTrayId;
    m_tray.SetOnTrace([](std::string_view line) { Trace(line); });
    const std::weak_ptr<bool> alive = m_alive;
    m_tray.SetOnSelect([this, alive](Kit::ScreenPoint) {
        if (alive.lock())
            ShowWindow();
    });
    m_tray.SetOnContextMenu([this, alive](Kit::ScreenPoint point) {
        if (alive.lock())
            ShowTrayMenu(point);
    });
    m_tray.SetMenuProvider(
        [this, alive] { return alive.lock() ? TrayMenuItems() : std::vector<MenuItem>{}; });
    m_tray.SetMenu(TrayMenuItems());
    m_tray.Add(options);
}

void Program::UpdateTray() {
    const bool running = m_service.IsRunning();
    m_tray.SetIcon(TrayIconFor(running));
    m_tray.SetTooltip(Text(running ? TextId::TrayServerOn : TextId::TrayServerOff, m_language));
    // Panels that do not ask before opening the menu see the current one.
    m_tray.SetMenu(TrayMenuItems());
}

std::vector<MenuItem> Program::TrayMenuItems() {
    TrayMenuState state;
    state.running = m_service.IsRunning();
    state.hasAddress = m_window && !m_window->Main().FirstLocalAddress().empty();
    std::vector<MenuItem> items = BuildTrayMenu(state, m_language);
    for (MenuItem& item : items) {
        switch (item.id) {
        case kTrayOpen:
            item.command = Guarded(&Program::ShowWindow);
            break;
        case kTrayToggleServer:
            item.command = Guarded(&Program::ToggleServer);
            break;
        case kTrayCopyAddress:
            item.command = Guarded(&Program::CopyAddress);
            break;
        case kTrayExit:
            item.command = Guarded(&Program::Exit);
            break;
        default:
            break;
        }
    }
    return items;
}

void Program::ShowTrayMenu(Kit::ScreenPoint point) {
    if (m_openingTrayMenu)
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
    m_openingTrayMenu = true;
    const auto settled = std::chrono::steady_clock::now() + kAnchorSettleTime;
    Application::Instance().RunUntil([&] {
        return (activate && m_menuAnchor->IsActive()) || std::chrono::steady_clock::now() > settled;
    });
    m_openingTrayMenu = false;
    if (m_exiting)
        return;
    m_trayMenu.SetItems(TrayMenuItems());
    const std::weak_ptr<bool> alive = m_alive;
    m_trayMenu.SetOnClosed([this, alive] {
        if (alive.lock() && m_menuAnchor)
            m_menuAnchor->Hide();
    });
    const Velto::Widget::ScreenBounds client = m_menuAnchor->ClientScreenBounds();
    const float scale = m_menuAnchor->DpiScale();
    m_trayMenu.Show(*m_menuAnchor, PointF{static_cast<float>(point.x - client.x) / scale,
                                          static_cast<float>(point.y - client.y) / scale});
}

void Program::CopyAddress() {
    if (!m_window)
        return;
    const std::u16string address = m_window->Main().FirstLocalAddress();
    if (address.empty())
        return;
    // A failure leaves the clipboard as it was; nothing to tell.
    TheSystemClipboard().SetText(&m_window->Native(), address);
}

void Program::ToggleServer() {
    if (m_window)
        m_window->Main().ToggleServer();
}

void Program::ShowWindow() {
    if (!m_window)
        return;
    if (m_settings.parkWindows) {
        m_window->Show(true);
        return;
    }
    RestoreWindow(m_window->Native());
    m_window->Show(false);
}

bool Program::OnClose() {
    if (!m_service.IsRunning()) {
        Exit();
        return false;
    }
    // Hidden, the window lives on as the tray icon; with no panel to show
    // the icon it would be gone from sight with the server still on, so it
    // is minimised instead.
    const bool trayShown = m_settings.trayHidden || TrayHostPresent();
    if (trayShown) {
        m_window->Native().Hide();
        Trace("window hidden");
    } else {
        MinimizeWindow(m_window->Native());
        Trace("window minimized");
    }
    if (!m_noticeShown && !m_settings.trayHidden) {
        m_noticeShown = true;
        ShowCloseNotice(trayShown);
    }
    return false;
}

void Program::ShowCloseNotice(bool trayShown) {
    Kit::TrayBalloon balloon;
    balloon.title = Text(TextId::StillRunningTitle, m_language);
    balloon.text = trayShown ? Text(TextId::StillRunningMessage, m_language)
                             : std::u16string(NoTrayNoticeText(m_language));
    if (m_tray.ShowBalloon(balloon, Guarded(&Program::ShowWindow)) || trayShown)
        return;
    // Without a session bus there is no notification either: the
    // minimised window tells it itself.
    Kit::ShowMessage(&m_window->Native(), balloon.title, balloon.text, Kit::MessageButtons::Ok,
                     Kit::MessageIcon::Information);
}

void Program::Exit() {
    if (m_exiting)
        return;
    m_exiting = true;
    m_service.Stop();
    Trace("exit");
    if (m_window) {
        m_window->Main().SetCloseHook({});
        m_window->Native().Hide();
    }
    Application::Instance().Quit(0);
}

void Program::OnCommand(std::u16string_view command) {
    Trace(u"command " + std::u16string(command));
    if (command == kQuitCommand) {
        Exit();
        return;
    }
    if (command.size() > kDropPrefix.size() - 1 && command.starts_with(kDropPrefix) &&
        m_settings.SelfContained()) {
        const std::string path = Velto::Utf16ToUtf8(command.substr(kDropPrefix.size()));
        const std::weak_ptr<bool> alive = m_alive;
        // As a drop: shared after this command has been answered.
        Post([this, alive, path] {
            if (alive.lock() && m_window)
                m_window->Main().AddPaths({path});
        });
        return;
    }
    ShowWindow();
}

std::size_t Program::TakeScreenshots(const DialogShots& dialogs) {
    if (!m_window)
        return 1;
    ScreenshotMode::Hooks hooks;
    hooks.switchLanguage = [this](UiLanguage language) { SwitchLanguage(language); };
    hooks.hasExtraPages = m_hasExtraPages;
    ScreenshotMode mode(*m_window, m_service, dialogs, std::move(hooks));
    return mode.Run();
}

} // namespace App
