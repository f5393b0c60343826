#pragma once

#include "app/desktop/home/connection_view.h"
#include "app/desktop/page_context.h"
#include "app/desktop/service_commands.h"
#include "app/desktop/shares/share_actions.h"
#include "app/desktop/window_services.h"
#include "app/texts/ui_language.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Corvane {
class CorvaneService;
}

namespace Velto::Widget {
class Border;
class Label;
class ToggleSwitch;
} // namespace Velto::Widget

namespace App {

class HomePage;
class Page;

// The program's one window: a header with the page title, the server switch
// and the page buttons; the start-failure card; the current page, a widget of
// the window's tree made for one narrow context of the window's; and the
// traffic line. It owns no server logic: it shows the service's status every
// two seconds and hands every change to the service as a new configuration.
// All of it runs on the UI thread.
class MainWindow {
public:
    enum PageId : std::int32_t {
        kHomePage = 0,
        kLinksPage = 1,
        kAccountsPage = 2,
        kLogPage = 3,
        kSettingsPage = 4
    };
    static constexpr double kStatusSeconds = 2.0;
    static constexpr float kInitialWidth = 940;
    static constexpr float kInitialHeight = 680;

    struct Hooks {
        std::function<void()> onServerStateChanged;
        std::function<void()> onAppearanceChanged;
    };

    MainWindow(Velto::Corvane::CorvaneService& service, WindowServices services, Hooks hooks,
               UiLanguage language);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Builds the frame and shows the current page.
    void Create();
    // The title and the whole frame again, in `language` (page, scope and
    // local address choice stay).
    void Rebuild(UiLanguage language);
    void Refresh() { UpdateStatus(); }
    void ShowPage(std::int32_t page);
    void SetScope(bool internet);
    void ShowQr();
    void AddPaths(const std::vector<std::string>& paths);
    void ToggleServer();
    std::u16string FirstLocalAddress() const;

    // Asked on a close request; closes when it agrees (none: close).
    void SetCloseHook(std::function<bool()> hook) { m_closeHook = std::move(hook); }
    bool RequestClose() const { return !m_closeHook || m_closeHook(); }

    Velto::Widget::Widget& Root() { return *m_root; }
    std::int32_t CurrentPage() const { return m_page; }
    UiLanguage Language() const { return m_language; }
    const AddressChoice& Choice() const { return m_choice; }
    // The home page while it is shown.
    HomePage* Home() const { return m_home; }
    ServiceCommands& Commands() { return m_commands; }
    const Hooks& GetHooks() const { return m_hooks; }
    // Whether a start or stop is under way (the switch waits for it).
    bool ServerBusy() const { return m_serverBusy; }

private:
    ShareActions::Hooks ShareHooks();
    void BuildFrame();
    std::unique_ptr<Velto::Widget::Widget> BuildHeader();
    std::unique_ptr<Page> MakePage();
    PageContext MakePageContext();
    void UpdateStatus();
    void Post(std::function<void()> task);
    void ServerToggled();

    Velto::Corvane::CorvaneService& m_service;
    WindowServices m_services;
    Hooks m_hooks;
    std::function<bool()> m_closeHook;
    UiLanguage m_language{UiLanguage::Korean};
    std::int32_t m_page{kHomePage};
    AddressChoice m_choice;
    bool m_switchUpdating{false};
    bool m_serverBusy{false};

    Velto::Widget::Widget* m_root{nullptr};
    std::unique_ptr<Velto::Widget::Widget> m_ownedRoot; // without a window to hold it
    Velto::Widget::Border* m_headerHost{nullptr};
    Velto::Widget::Border* m_errorHost{nullptr};
    Velto::Widget::Border* m_contentHost{nullptr};
    Velto::Widget::Label* m_statsLabel{nullptr};
    Velto::Widget::ToggleSwitch* m_serverSwitch{nullptr};
    // The page shown, owned by the tree; the home page again, typed.
    Page* m_current{nullptr};
    HomePage* m_home{nullptr};

    // Tasks posted by the window do nothing once it is gone.
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
    ServiceCommands m_commands;
    ShareActions m_shares;     // after m_commands: goes first
    PageContext m_pageContext; // after what it refers to
};

} // namespace App
