#include "app/desktop/screenshots/screenshot_mode.h"

#include "app/desktop/accounts/account_dialog.h"
#include "app/desktop/desktop_window.h"
#include "app/desktop/home/home_page.h"
#include "app/desktop/links/link_dialog.h"
#include "app/desktop/links/link_texts.h"
#include "app/desktop/qr/qr_dialog.h"
#include "app/desktop/screenshots/dialog_shots.h"
#include "app/desktop/screenshots/host_capture.h"
#include "app/desktop/shares/share_dialog.h"
#include "app/run/trace_file.h"
#include "app/texts/text_format.h"
#include "service/corvane_service.h"

#include <algorithm>
#include <array>
#include <optional>

namespace App {

using Velto::Widget::Kit::ThemeChoice;

namespace {

struct ShotTheme {
    ThemeChoice choice;
    const char* name;
};
constexpr std::array<ShotTheme, 2> kThemes{
    {{ThemeChoice::Light, "light"}, {ThemeChoice::Dark, "dark"}}};

// The pages after the home page, each captured at its own height.
struct OtherPage {
    MainWindow::PageId page;
    const char* name;
    float height;
};
constexpr std::array<OtherPage, 4> kOtherPages{{
    {MainWindow::kAccountsPage, "2-accounts", ScreenshotMode::kPageHeight},
    {MainWindow::kLogPage, "3-log", ScreenshotMode::kPageHeight},
    {MainWindow::kSettingsPage, "4-settings", ScreenshotMode::kSettingsHeight},
    {MainWindow::kLinksPage, "5-links", ScreenshotMode::kPageHeight},
}};

const char* LanguageCode(UiLanguage language) {
    return IsKorean(language) ? "ko" : "en";
}

} // namespace

ScreenshotMode::ScreenshotMode(DesktopWindow& window, Velto::Corvane::CorvaneService& service,
                               const DialogShots& dialogs, Hooks hooks)
    : m_window(window), m_service(service), m_dialogs(dialogs), m_hooks(std::move(hooks)) {}

std::size_t ScreenshotMode::Run() {
    m_chosenTheme = Velto::Widget::Kit::CurrentThemeChoice();
    for (const UiLanguage language : {UiLanguage::Korean, UiLanguage::English})
        CaptureLanguage(language);
    m_hooks.switchLanguage(UiLanguage::Korean);
    m_window.Main().ShowPage(MainWindow::kHomePage);
    Trace("shots failures=" + std::to_string(m_failures));
    return m_failures;
}

void ScreenshotMode::CaptureLanguage(UiLanguage language) {
    m_hooks.switchLanguage(language);
    MainWindow& main = m_window.Main();

    main.ShowPage(MainWindow::kHomePage);
    CapturePage("1-home", kPageWidth, kPageHeight, language);
    for (const OtherPage& page : kOtherPages) {
        main.ShowPage(page.page);
        CapturePage(page.name, kPageWidth, page.height, language);
    }
    main.ShowPage(MainWindow::kHomePage);

    main.SetScope(true);
    CapturePage("1-home-internet", kPageWidth, kPageHeight, language);
    main.SetScope(false);
    CapturePage("1-home-narrow", kNarrowWidth, kPageHeight, language);
    if (m_service.IsRunning()) {
        m_service.Stop();
        main.Refresh();
        CapturePage("1-home-off", kPageWidth, kPageHeight, language);
        const Velto::Result started = m_service.Start();
        if (Velto::Failed(started))
            ++m_failures;
        main.Refresh();
    }
    OpenDialogs(language);
}

void ScreenshotMode::CapturePage(const std::string& name, float width, float height,
                                 UiLanguage language) {
    for (const ShotTheme& theme : kThemes) {
        Velto::Widget::Kit::SetThemeChoice(theme.choice);
        const std::string path = m_dialogs.Folder() + "/" + name + "-" + LanguageCode(language) +
                                 "-" + theme.name + ".png";
        if (Velto::Failed(CaptureHostToPng(m_window.Native(), {width, height}, path)))
            ++m_failures;
    }
    // Back to the window's own colours and size for what follows.
    Velto::Widget::Kit::SetThemeChoice(m_chosenTheme);
    m_window.Native().SetClientSize({kPageWidth, kPageHeight});
}

void ScreenshotMode::ExpectDialog(const std::function<void()>& open) {
    const std::size_t saved = m_dialogs.Saved();
    open();
    if (m_dialogs.Saved() == saved)
        ++m_failures;
}

void ScreenshotMode::OpenDialogs(UiLanguage language) {
    using Velto::Corvane::Account;
    using Velto::Corvane::Config;
    using Velto::Corvane::Share;
    Velto::Widget::Window* owner = &m_window.Native();
    const Config config = m_service.GetConfig();

    ExpectDialog([&] {
        Share fresh;
        fresh.id = "shot";
        EditShareDialog(owner, config, fresh, true, language);
    });
    if (!config.shares.empty()) {
        ExpectDialog([&] {
            Share first = config.shares.front();
            EditShareDialog(owner, config, first, false, language);
        });
    }
    const auto file = std::find_if(config.shares.begin(), config.shares.end(),
                                   [](const Share& share) { return share.file; });
    if (file != config.shares.end()) {
        ExpectDialog([&] {
            Share copy = *file;
            EditShareDialog(owner, config, copy, false, language);
        });
    }
    ExpectDialog([&] {
        const bool isNew = config.accounts.empty();
        Account account = isNew ? Account{} : config.accounts.front();
        EditAccountDialog(owner, config, account, isNew, language);
    });
    // The new-link dialog of a folder, and a link's address as the dialog
    // shows it once made (the configuration's first link, or one made up for
    // the picture and never kept); these and the QR code in both schemes.
    const std::u16string address =
        m_window.Main().Home() != nullptr ? m_window.Main().Home()->ShownAddress() : u"";
    const auto folder = std::find_if(config.shares.begin(), config.shares.end(),
                                     [](const Share& share) { return !share.file; });
    std::optional<Velto::Corvane::ShareLink> link;
    if (!config.links.empty())
        link = config.links.front();
    else if (folder != config.shares.end())
        link = Velto::Corvane::NewShareLink(folder->id, {}, Velto::Corvane::LinkLifetime::Week,
                                            LinkClockNow());
    for (const ShotTheme& theme : kThemes) {
        Velto::Widget::Kit::SetThemeChoice(theme.choice);
        m_dialogs.SetNameSuffix("-" + std::string(theme.name));
        if (folder != config.shares.end()) {
            ExpectDialog([&] {
                NewLinkDialog(
                    owner, *folder, language,
                    [](const Velto::Corvane::ShareLink&) -> std::optional<std::u16string> {
                        return std::nullopt;
                    },
                    {});
            });
        }
        if (address.empty())
            continue;
        if (link) {
            ExpectDialog([&] {
                ShowLinkDialog(
                    owner,
                    Format(TextId::LinkDialogTitle, language, {LinkShownName(config, *link)}),
                    LinkAddress(address, *link), language, {});
            });
        }
        // Its dark modules keep a light field.
        ExpectDialog([&] { ShowQrDialog(owner, address, language); });
    }
    m_dialogs.SetNameSuffix({});
    Velto::Widget::Kit::SetThemeChoice(m_chosenTheme);
}

} // namespace App
