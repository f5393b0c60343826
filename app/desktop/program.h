#pragma once

#include "app/desktop/main_window.h"
#include "app/desktop/tray/tray_controller.h"
#include "app/run/environment_settings.h"
#include "app/texts/ui_language.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {
class CorvaneService;
}

namespace Velto::Widget::Kit {
class TrayIcon;
}

namespace App {

class DesktopWindow;
class DialogShots;

// The desktop program's application object, on the UI thread from start-up
// to the end of the loop: it starts the server at launch when the settings
// ask for it, keeps the tray icon (through its controller) in step with the
// server, decides what closing the window means, carries out the commands a second
// copy forwards, applies the language and colours, and runs the screenshot
// mode. It owns the main window; the service and the tray icon are the
// entry point's.
class Program {
public:
    Program(Velto::Corvane::CorvaneService& service, Velto::Widget::Kit::TrayIcon& tray,
            const EnvironmentSettings& settings, std::string configPath);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Loads the settings, applies the look, creates the window and the tray
    // icon, starts the server when asked to, and shows the window when
    // `showWindow`. False only when the window could not be created.
    bool Start(bool showWindow);
    // A command forwarded by another copy: "quit", "drop:" + path, "show".
    void OnCommand(std::u16string_view command);
    // The window's close hook; always false, as the program decides.
    bool OnClose();
    void UpdateTray();
    // Stops the server and ends the loop with 0 (once).
    void Exit();
    // The configured language and colour choice.
    void ApplyLook();
    MainWindow::Hooks MakeHooks();
    // The screenshot mode; the number of captures that failed.
    std::size_t TakeScreenshots(const DialogShots& dialogs);
    void ToggleServer();
    void ShowWindow();
    // Clears the service's status callback and the access log's observer
    // (the first step of the shutdown).
    void Detach();

    DesktopWindow* Window() const { return m_window.get(); }
    UiLanguage Language() const { return m_language; }

private:
    // What the callbacks of other threads share with the program; they hold
    // it by value, so that a late call finds the flags still there.
    struct Pending {
        std::atomic<bool> status{false};
        std::atomic<bool> log{false};
    };

    void SwitchLanguage(UiLanguage language);
    // The look hook: applies the configured look and rebuilds the window in
    // it, from a task of its own.
    std::function<void()> LookChanged();
    TrayController::Hooks TrayHooks();
    void CopyAddress();
    // The notice as a notification; failing that, as a message box when
    // asked to.
    void ShowCloseNotice(const std::u16string& text, bool orMessageBox);
    // Wraps a command so that it does nothing once the program is gone.
    std::function<void()> Guarded(void (Program::*method)());

    Velto::Corvane::CorvaneService& m_service;
    const EnvironmentSettings& m_settings;
    std::string m_configPath;
    UiLanguage m_language{UiLanguage::Korean};
    bool m_noticeShown{false};
    bool m_exiting{false};
    std::shared_ptr<Pending> m_pending{std::make_shared<Pending>()};
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};

    TrayController m_tray; // after m_alive, which its hooks check
    std::unique_ptr<DesktopWindow> m_window;
};

} // namespace App
