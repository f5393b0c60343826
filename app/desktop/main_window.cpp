#include "app/desktop/main_window.h"

#include "app/desktop/accounts/accounts_page.h"
#include "app/desktop/home/address_list.h"
#include "app/desktop/home/home_page.h"
#include "app/desktop/links/links_page.h"
#include "app/desktop/log/access_log_page.h"
#include "app/desktop/server_status_text.h"
#include "app/desktop/settings/settings_page.h"
#include "app/desktop/window_cards.h"
#include "app/desktop/window_glyphs.h"
#include "app/run/trace_file.h"
#include "app/texts/text_table.h"
#include "app/texts/value_format.h"
#include "app/usage/usage_stats.h"
#include "service/corvane_service.h"
#include "widget/controls/button.h"
#include "widget/controls/toggle_button.h"
#include "widget/controls/toggle_switch.h"
#include "widget/core/border.h"
#include "widget/core/grid.h"
#include "widget/core/label.h"
#include "widget/core/separator.h"
#include "widget/core/stack.h"

#include <algorithm>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::ServiceStatus;

namespace {

struct NavigationButton {
    MainWindow::PageId page;
    TextId text;
    char32_t glyph;
    const char16_t* automationId;
};

constexpr NavigationButton kNavigation[] = {
    {MainWindow::kLinksPage, TextId::Links, Glyph::kLink, u"nav.links"},
    {MainWindow::kAccountsPage, TextId::Accounts, Glyph::kAccounts, u"nav.accounts"},
    {MainWindow::kLogPage, TextId::AccessLog, Glyph::kLog, u"nav.log"},
    {MainWindow::kSettingsPage, TextId::Settings, Glyph::kSettings, u"nav.settings"},
};

constexpr float kHeaderSpacing = 12;

std::int32_t ClampPage(std::int32_t page) {
    return std::clamp<std::int32_t>(page, MainWindow::kHomePage, MainWindow::kSettingsPage);
}

TextId PageTitle(std::int32_t page) {
    switch (page) {
    case MainWindow::kLinksPage:
        return TextId::Links;
    case MainWindow::kAccountsPage:
        return TextId::Accounts;
    case MainWindow::kLogPage:
        return TextId::AccessLog;
    case MainWindow::kSettingsPage:
        return TextId::Settings;
    default:
        return TextId::AppName;
    }
}

} // namespace

ShareActions::Hooks MainWindow::ShareHooks() {
    const WindowServices& services = m_services;
    ShareActions::Hooks hooks;
    hooks.editShare = services.editShare;
    hooks.ask = services.ask;
    hooks.inform = services.inform;
    hooks.showError = services.showError;
    hooks.report = [](std::string_view feature) { ReportFeature(feature); };
    hooks.trace = [](std::string_view line) { Trace(line); };
    hooks.showHome = [this] {
        if (m_page != kHomePage)
            ShowPage(kHomePage);
    };
    hooks.changed = [this] {
        if (m_home)
            m_home->FillShares(m_commands.Current());
    };
    return hooks;
}

PageContext MainWindow::MakePageContext() {
    return PageContext{
        .language = m_language,
        .commands = m_commands,
        .shares = m_shares,
        .services = m_services,
        .post = [this](std::function<void()> task) { Post(std::move(task)); },
        .toggleServer = [this] { ToggleServer(); },
        .settingsApplied =
            [this] {
                UpdateStatus();
                if (m_hooks.onServerStateChanged)
                    m_hooks.onServerStateChanged();
            },
        .lookChanged =
            [this] {
                if (m_hooks.onAppearanceChanged)
                    m_hooks.onAppearanceChanged();
            },
        .shownAddress = [this] { return ChosenAddress(m_service.GetStatus(), m_choice); },
        .settingsOutcome = std::nullopt,
    };
}

MainWindow::MainWindow(Velto::Corvane::CorvaneService& service, WindowServices services,
                       Hooks hooks, UiLanguage language)
    : m_service(service), m_services(std::move(services)), m_hooks(std::move(hooks)),
      m_language(language), m_commands(service,
                                       [post = m_services.post](std::function<void()> task) {
                                           if (post)
                                               post(std::move(task));
                                       }),
      m_shares(m_commands, language, ShareHooks()), m_pageContext(MakePageContext()) {}

// The page goes with the window whose context it uses.
MainWindow::~MainWindow() {
    m_current = nullptr;
    m_home = nullptr;
    if (m_contentHost)
        m_contentHost->ClearChildren();
}

void MainWindow::Post(std::function<void()> task) {
    std::weak_ptr<bool> alive = m_alive;
    auto guarded = [alive, task = std::move(task)] {
        if (alive.lock())
            task();
    };
    if (m_services.post)
        m_services.post(std::move(guarded));
    else
        guarded();
}

void MainWindow::Create() {
    if (m_services.setTitle)
        m_services.setTitle(Text(TextId::AppName, m_language));
    BuildFrame();
}

void MainWindow::Rebuild(UiLanguage language) {
    m_language = language;
    m_pageContext.language = language;
    m_shares.SetLanguage(language);
    Create();
}

void MainWindow::BuildFrame() {
    m_current = nullptr;
    m_home = nullptr;
    m_serverSwitch = nullptr;

    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Star());
    for (const GridLength& row : {GridLength::Auto(), GridLength::Auto(), GridLength::Auto(),
                                  GridLength::Star(), GridLength::Auto()})
        grid->AddRow(row);
    auto header = std::make_unique<Border>();
    header->SetPadding(Thickness{16, 10, 16, 10});
    m_headerHost = grid->AddAt(std::move(header), 0, 0);
    grid->AddAt(std::make_unique<Separator>(), 1, 0);
    auto error = std::make_unique<Border>();
    error->SetMargin(Thickness{24, 16, 24, 0});
    error->SetVisible(false);
    m_errorHost = grid->AddAt(std::move(error), 2, 0);
    m_contentHost = grid->AddAt(std::make_unique<Border>(), 3, 0);
    auto stats = MakeLabel({}, TextStyle::Caption, Tone::Secondary);
    stats->SetMargin(Thickness{24, 0, 24, 10});
    m_statsLabel = grid->AddAt(std::move(stats), 4, 0);

    auto root = std::make_unique<Border>();
    root->SetBackground(BorderBackground::WindowBackground);
    root->AddChild(std::move(grid));
    m_root = root.get();
    if (m_services.setContent) {
        m_services.setContent(std::move(root));
        m_ownedRoot.reset();
    } else {
        m_ownedRoot = std::move(root);
    }
    m_root->StartTimer(
        kStatusSeconds, [this] { UpdateStatus(); }, true);

    m_page = ClampPage(m_page);
    ShowPage(m_page);
}

void MainWindow::ShowPage(std::int32_t page) {
    m_page = ClampPage(page);
    if (!m_headerHost)
        return;
    m_current = nullptr;
    m_home = nullptr;
    m_serverSwitch = nullptr;
    m_headerHost->ClearChildren();
    m_headerHost->AddChild(BuildHeader());
    m_contentHost->ClearChildren();
    std::unique_ptr<Page> shown = MakePage();
    m_current = shown.get();
    m_contentHost->AddChild(std::move(shown));
    UpdateStatus();
}

std::unique_ptr<Page> MainWindow::MakePage() {
    switch (m_page) {
    case kLinksPage:
        return std::make_unique<LinksPage>(m_pageContext);
    case kAccountsPage:
        return std::make_unique<AccountsPage>(m_pageContext);
    case kLogPage:
        return std::make_unique<AccessLogPage>(m_pageContext);
    case kSettingsPage:
        return std::make_unique<SettingsPage>(m_pageContext);
    default: {
        auto home = std::make_unique<HomePage>(m_pageContext, m_choice);
        m_home = home.get();
        return home;
    }
    }
}

std::unique_ptr<Widget> MainWindow::BuildHeader() {
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Star());
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Auto());
    grid->AddRow(GridLength::Auto());
    // Four page buttons beside the title and the switch fit the narrowest
    // window with this spacing.
    grid->SetSpacing(0, kHeaderSpacing);

    auto title = MakeLabel(Text(PageTitle(m_page), m_language), TextStyle::Subtitle);
    title->SetVerticalAlignment(Alignment::Center);
    title->SetTrimming(true);
    if (m_page == kHomePage) {
        grid->AddAt(std::move(title), 0, 0, 1, 2);
    } else {
        auto back = std::make_unique<Button>();
        back->SetIcon(Glyph::kBack);
        back->SetStyle(ButtonStyle::Subtle);
        back->SetTooltip(Text(TextId::Back, m_language));
        back->SetAccessibleName(Text(TextId::Back, m_language));
        back->SetAutomationId(u"nav.back");
        back->SetVerticalAlignment(Alignment::Center);
        back->SetOnClick([this] { Post([this] { ShowPage(kHomePage); }); });
        grid->AddAt(std::move(back), 0, 0);
        grid->AddAt(std::move(title), 0, 1);
    }

    auto serverSwitch = std::make_unique<ToggleSwitch>(Text(TextId::ServerOff, m_language));
    serverSwitch->SetAccessibleName(Text(TextId::Server, m_language));
    serverSwitch->SetAutomationId(u"server.switch");
    serverSwitch->SetVerticalAlignment(Alignment::Center);
    serverSwitch->SetOnChange([this](bool) {
        if (!m_switchUpdating)
            ToggleServer();
    });
    m_serverSwitch = grid->AddAt(std::move(serverSwitch), 0, 2);

    auto navigation = std::make_unique<Stack>(Orientation::Horizontal, 2);
    navigation->SetVerticalAlignment(Alignment::Center);
    for (const NavigationButton& entry : kNavigation) {
        auto button = std::make_unique<ToggleButton>(Text(entry.text, m_language));
        button->SetIcon(entry.glyph);
        button->SetStyle(ButtonStyle::Subtle);
        button->SetAutomationId(entry.automationId);
        button->SetChecked(entry.page == m_page);
        ToggleButton* raw = button.get();
        const PageId page = entry.page;
        button->SetOnClick([this, raw, page] {
            if (page != m_page) {
                Post([this, page] { ShowPage(page); });
                return;
            }
            // The current page's button cannot be switched off.
            if (!raw->IsChecked())
                raw->SetChecked(true);
        });
        navigation->AddChild(std::move(button));
    }
    grid->AddAt(std::move(navigation), 0, 3);
    return grid;
}

void MainWindow::UpdateStatus() {
    if (!m_root)
        return;
    const ServiceStatus status = m_service.GetStatus();
    const Velto::Corvane::Config config = m_commands.Current();
    const bool running = status.state == ServiceStatus::Running;

    if (m_serverSwitch && !m_serverBusy) {
        m_switchUpdating = true;
        m_serverSwitch->SetOn(running);
        m_serverSwitch->SetText(ServerSwitchText(running, m_language));
        m_switchUpdating = false;
    }

    m_errorHost->ClearChildren();
    const bool failed = status.state == ServiceStatus::Failed;
    if (failed)
        m_errorHost->AddChild(
            MakeFailureCard(StartFailureText(status, config.port, m_language), m_language));
    m_errorHost->SetVisible(failed);

    m_statsLabel->SetVisible(running);
    m_statsLabel->SetText(TrafficText(status, m_language));

    if (m_current)
        m_current->Refresh(status);
}

void MainWindow::SetScope(bool internet) {
    m_choice.internetScope = internet;
    if (m_home)
        m_home->UpdateConnection(m_service.GetStatus());
}

void MainWindow::ShowQr() {
    if (m_home)
        m_home->ShowQr();
    else
        ReportFeature("show_qr");
}

void MainWindow::AddPaths(const std::vector<std::string>& paths) {
    m_shares.AddPaths(paths);
}

void MainWindow::ToggleServer() {
    if (m_serverBusy)
        return;
    m_serverBusy = true;
    const bool running = m_service.IsRunning();
    ReportFeature(running ? "server_stop" : "server_start");
    if (running) {
        m_commands.Stop([this] {
            Trace("server stopped");
            ServerToggled();
        });
        return;
    }
    m_commands.Start([this](Velto::Result result, std::uint16_t port) {
        if (result < 0)
            Trace("server failed " + FormatHex32(static_cast<std::uint32_t>(result)));
        else
            Trace("server started port=" + std::to_string(port));
        ServerToggled();
    });
}

void MainWindow::ServerToggled() {
    m_serverBusy = false;
    UpdateStatus();
    if (m_hooks.onServerStateChanged)
        m_hooks.onServerStateChanged();
}

std::u16string MainWindow::FirstLocalAddress() const {
    return App::FirstLocalAddress(m_service.GetStatus());
}

} // namespace App
