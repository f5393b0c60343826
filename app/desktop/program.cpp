#include "app/desktop/program.h"

#include "app/desktop/desktop_window.h"
#include "app/desktop/screenshots/dialog_shots.h"
#include "app/desktop/screenshots/screenshot_mode.h"
#include "app/desktop/tray/no_tray_notice.h"
#include "app/desktop/tray/tray_host_presence.h"
#include "app/desktop/window_iconify.h"
#include "app/run/trace_file.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "app/texts/value_format.h"
#include "base/utf.h"
#include "service/corvane_service.h"
#include "widget/desktop/x_task_bar.h"
#include "widget/dialogs/message_dialog.h"
#include "widget/window/application.h"
#include "widget/window/kit_settings.h"
#include "widget/window/standard_labels.h"
#include "widget/window/system_clipboard.h"
#include "widget/window/theme_choice.h"
#include "widget/window/window.h"

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::Config;

namespace {

constexpr std::u16string_view kQuitCommand = u"quit";
constexpr std::u16string_view kDropPrefix = u"drop:";

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
    : m_service(service), m_settings(settings), m_configPath(std::move(configPath)),
      m_tray(tray, settings, TrayHooks()) {}

Program::~Program() {
    Detach();
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
    if (!m_window->Create()) {
        m_window.reset();
        return false;
    }
    m_window->Main().SetCloseHook([this] { return OnClose(); });
    m_tray.Add();

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

TrayController::Hooks Program::TrayHooks() {
    TrayController::Hooks hooks;
    hooks.state = [this] {
        TrayMenuState state;
        state.running = m_service.IsRunning();
        state.hasAddress = m_window && !m_window->Main().FirstLocalAddress().empty();
        return state;
    };
    hooks.language = [this] { return m_language; };
    hooks.showWindow = Guarded(&Program::ShowWindow);
    hooks.toggleServer = Guarded(&Program::ToggleServer);
    hooks.copyAddress = Guarded(&Program::CopyAddress);
    hooks.exit = Guarded(&Program::Exit);
    return hooks;
}

void Program::UpdateTray() {
    m_tray.Update();
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
    // is minimised to the task bar instead, or, with nothing that would
    // show a minimised window, it stays where it is.
    const bool trayShown = m_settings.trayHidden || TrayHostPresent();
    if (trayShown) {
        m_window->Native().Hide();
        Trace("window hidden");
        if (!m_noticeShown && !m_settings.trayHidden) {
            m_noticeShown = true;
            ShowCloseNotice(Text(TextId::StillRunningMessage, m_language), false);
        }
        return false;
    }
    if (Kit::MinimizedWindowsCanComeBack()) {
        MinimizeWindow(m_window->Native());
        Trace("window minimized");
        if (!m_noticeShown) {
            m_noticeShown = true;
            ShowCloseNotice(std::u16string(NoTrayNoticeText(m_language, NoTrayWindow::Minimized)),
                            true);
        }
        return false;
    }
    // The close box seems to do nothing here: every time it is the notice
    // that answers.
    Trace("window kept open");
    ShowCloseNotice(std::u16string(NoTrayNoticeText(m_language, NoTrayWindow::KeptOpen)), true);
    return false;
}

void Program::ShowCloseNotice(const std::u16string& text, bool orMessageBox) {
    const std::u16string title = Text(TextId::StillRunningTitle, m_language);
    if (m_tray.ShowNotice(title, text) || !orMessageBox)
        return;
    // Without a session bus there is no notification either: the window
    // tells it itself.
    Kit::ShowMessage(&m_window->Native(), title, text, Kit::MessageButtons::Ok,
                     Kit::MessageIcon::Information);
}

void Program::Exit() {
    if (m_exiting)
        return;
    m_exiting = true;
    m_tray.Stop();
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
    ScreenshotMode mode(*m_window, m_service, dialogs, std::move(hooks));
    return mode.Run();
}

} // namespace App
