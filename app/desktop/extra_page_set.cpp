#include "app/desktop/extra_page_set.h"

#include "app/desktop/access_log_page.h"
#include "app/desktop/accounts_page.h"
#include "app/desktop/page_holder.h"
#include "app/desktop/settings_page.h"
#include "service/corvane_service.h"

namespace App {

namespace {

// The page shown now, if it is one of these; at most one is set.
struct ShownPage {
    AccountsPage* accounts{nullptr};
    AccessLogPage* log{nullptr};
    SettingsPage* settings{nullptr};
};

struct PageSet {
    Velto::Corvane::CorvaneService& service;
    std::function<PageDialogs(MainWindow&)> makeDialogs;
    std::function<void()> appearanceChanged;
    ShownPage shown;
};

// The page object's dialogs must live as long as the page: both go in one
// object owned by the holder.
template <typename Page> struct Owned {
    std::unique_ptr<PageDialogs> dialogs;
    std::unique_ptr<Page> page;
};

template <typename Page>
std::unique_ptr<Velto::Widget::Widget> Hold(const std::shared_ptr<PageSet>& set,
                                            std::unique_ptr<PageDialogs> dialogs,
                                            std::unique_ptr<Page> page, Page*& slot) {
    Page* raw = page.get();
    auto content = raw->Build();
    auto owned = std::make_shared<Owned<Page>>(Owned<Page>{std::move(dialogs), std::move(page)});
    std::weak_ptr<PageSet> weak = set;
    auto holder = std::make_unique<PageHolder>(owned, [weak, raw] {
        auto alive = weak.lock();
        if (!alive)
            return;
        ShownPage& shown = alive->shown;
        if (shown.accounts == static_cast<void*>(raw))
            shown.accounts = nullptr;
        if (shown.log == static_cast<void*>(raw))
            shown.log = nullptr;
        if (shown.settings == static_cast<void*>(raw))
            shown.settings = nullptr;
    });
    holder->AddChild(std::move(content));
    slot = raw;
    return holder;
}

} // namespace

MainWindow::ExtraPages MakeExtraPageSet(Velto::Corvane::CorvaneService& service,
                                        std::function<PageDialogs(MainWindow& window)> dialogs,
                                        std::function<void()> appearanceChanged) {
    auto set = std::make_shared<PageSet>(
        PageSet{service, std::move(dialogs), std::move(appearanceChanged), {}});
    MainWindow::ExtraPages pages;
    pages.build = [set](MainWindow& window,
                        MainWindow::Page page) -> std::unique_ptr<Velto::Widget::Widget> {
        auto dialogs = std::make_unique<PageDialogs>(set->makeDialogs ? set->makeDialogs(window)
                                                                      : PageDialogs{});
        const PageDialogs& shared = *dialogs;
        switch (page) {
        case MainWindow::kAccountsPage:
            return Hold(set, std::move(dialogs), std::make_unique<AccountsPage>(window, shared),
                        set->shown.accounts);
        case MainWindow::kLogPage:
            return Hold(set, std::move(dialogs),
                        std::make_unique<AccessLogPage>(window, set->service.Log(), shared),
                        set->shown.log);
        case MainWindow::kSettingsPage:
            return Hold(set, std::move(dialogs),
                        std::make_unique<SettingsPage>(window, shared,
                                                       SettingsPage::Hooks{set->appearanceChanged}),
                        set->shown.settings);
        default:
            return nullptr;
        }
    };
    pages.refresh = [set](MainWindow& window) {
        const std::int32_t page = window.CurrentPage();
        if (page == MainWindow::kLogPage && set->shown.log)
            set->shown.log->FillIfChanged();
        if (page == MainWindow::kSettingsPage && set->shown.settings)
            set->shown.settings->UpdateCertificateInfo(set->service.GetStatus());
    };
    return pages;
}

} // namespace App
