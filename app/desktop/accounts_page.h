#pragma once

#include "app/desktop/page_dialogs.h"
#include "app/ui_language.h"
#include "config/config.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Button;
class Widget;
} // namespace Velto::Widget

namespace Velto::Widget::List {
class ListView;
}

namespace App {

class MainWindow;
class TableSource;

// The accounts page: every account with its rights on the shares, and the
// buttons that add, edit and delete one. Changes go to the service through
// the window's commands; the list shows them at once.
class AccountsPage {
public:
    AccountsPage(MainWindow& window, const PageDialogs& dialogs);
    ~AccountsPage();
    AccountsPage(const AccountsPage&) = delete;
    AccountsPage& operator=(const AccountsPage&) = delete;

    std::unique_ptr<Velto::Widget::Widget> Build();
    void Fill();
    void EditAccount(bool isNew);
    void DeleteAccount();

    Velto::Widget::List::ListView* List() const { return m_list; }

private:
    void Later(std::function<void()> action);
    void UpdateButtons();
    std::int64_t SelectedRow() const;

    MainWindow& m_window;
    const PageDialogs& m_dialogs;
    UiLanguage m_language{UiLanguage::Korean};
    Velto::Widget::List::ListView* m_list{nullptr};
    std::vector<Velto::Widget::Button*> m_accountButtons;
    // The names in the rows, as last filled: a row's account.
    std::vector<std::u16string> m_names;
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
};

// The permissions cell of an account: its rights on each share, in share
// order, or "None".
std::u16string AccountPermissionsText(const Velto::Corvane::Config& config,
                                      const Velto::Corvane::Account& account, UiLanguage language);

} // namespace App
