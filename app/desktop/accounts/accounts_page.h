#pragma once

#include "app/desktop/page.h"
#include "app/desktop/table_source.h"
#include "app/texts/ui_language.h"
#include "config/config.h"

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

// The accounts page: every account with its rights on the shares, and the
// buttons that add, edit and delete one. Changes go to the service through
// the window's commands; the list shows them at once.
class AccountsPage final : public Page {
public:
    explicit AccountsPage(PageContext& context);
    ~AccountsPage() override;

    void Fill();
    void EditAccount(bool isNew);
    void DeleteAccount();

    Velto::Widget::List::ListView* List() const { return m_list; }

private:
    std::unique_ptr<Velto::Widget::Widget> Build();
    void UpdateButtons();
    std::int64_t SelectedRow() const;

    UiLanguage m_language{UiLanguage::Korean};
    // The list's rows; the list goes before it (see the destructor).
    TableSource m_table;
    Velto::Widget::List::ListView* m_list{nullptr};
    std::vector<Velto::Widget::Button*> m_accountButtons;
    // The names in the rows, as last filled: a row's account.
    std::vector<std::u16string> m_names;
};

// The permissions cell of an account: its rights on each share, in share
// order, or "None".
std::u16string AccountPermissionsText(const Velto::Corvane::Config& config,
                                      const Velto::Corvane::Account& account, UiLanguage language);

} // namespace App
