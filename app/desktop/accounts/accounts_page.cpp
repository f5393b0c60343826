#include "app/desktop/accounts/accounts_page.h"

#include "app/desktop/service_commands.h"
#include "app/desktop/shares/share_list_edits.h"
#include "app/desktop/table_page.h"
#include "app/desktop/window_glyphs.h"
#include "app/desktop/window_services.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "app/usage/usage_stats.h"
#include "widget/controls/button.h"
#include "widget/core/stack.h"
#include "widget/list/list_view.h"

#include <algorithm>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::AccessFlags;
using Velto::Corvane::Account;
using Velto::Corvane::Config;

namespace {

constexpr float kNameWidth = 170;
constexpr float kPermissionsWidth = 640;
constexpr std::u16string_view kJoiner = u" \u00B7 ";
constexpr char32_t kDeleteGlyph = 0xE74D;

// Names compare as the configuration does: ignoring case.
Account* FindByName(Config& config, std::u16string_view name) {
    return config.FindAccount(name);
}

} // namespace

std::u16string AccountPermissionsText(const Config& config, const Account& account,
                                      UiLanguage language) {
    std::u16string text;
    for (const Velto::Corvane::Share& share : config.shares) {
        const auto entry = account.access.find(share.id);
        if (entry == account.access.end())
            continue;
        AccessFlags rights = Velto::Corvane::NormalizeAccess(entry->second);
        if (rights == AccessFlags::None)
            continue;
        if (share.readOnly)
            rights = rights & AccessFlags::Read;
        if (!text.empty())
            text += kJoiner;
        text +=
            Format(TextId::NameWithDetail, language, {share.name, RightsText(rights, language)});
    }
    return text.empty() ? Text(TextId::PermissionsNone, language) : text;
}

AccountsPage::AccountsPage(PageContext& context) : Page(context), m_language(context.language) {
    AddChild(Build());
}

// The list reads the rows it draws: it goes first.
AccountsPage::~AccountsPage() {
    ClearChildren();
}

std::unique_ptr<Widget> AccountsPage::Build() {
    TablePage page = MakeTablePage(Text(TextId::Accounts, m_language),
                                   Text(TextId::AccountPermissionsHint, m_language),
                                   Text(TextId::NoAccounts, m_language),
                                   {{Text(TextId::NameHeader, m_language), kNameWidth},
                                    {Text(TextId::Permissions, m_language), kPermissionsWidth}},
                                   m_table);
    m_list = page.list;

    // Dialogs open after the click has been handled: the page may be rebuilt
    // while one is open.
    auto add = page.buttons->Add(
        MakePageButton(Text(TextId::Add, m_language), Glyph::kAdd, true, u"accounts.add"));
    add->SetOnClick([this] { Post([this] { EditAccount(true); }); });
    auto edit = page.buttons->Add(
        MakePageButton(Text(TextId::Edit, m_language), Glyph::kEdit, false, u"accounts.edit"));
    edit->SetOnClick([this] { Post([this] { EditAccount(false); }); });
    auto remove = page.buttons->Add(
        MakePageButton(Text(TextId::Delete, m_language), kDeleteGlyph, false, u"accounts.delete"));
    remove->SetOnClick([this] { Post([this] { DeleteAccount(); }); });
    m_accountButtons = {edit, remove};

    m_list->SetOnSelectionChanged([this](const Models::SelectionChange&) { UpdateButtons(); });
    // The activated row is the one to edit, whatever was selected before.
    m_list->SetOnRowActivated([this](std::int64_t row) {
        if (m_list && row >= 0 && row < m_list->Selection().RowCount())
            m_list->SelectOnly(row);
        Post([this] { EditAccount(false); });
    });
    Fill();
    return std::move(page.root);
}

void AccountsPage::Fill() {
    if (!m_list)
        return;
    const Config config = Context().commands.Current();
    m_table.Clear();
    m_names.clear();
    for (const Account& account : config.accounts) {
        m_table.AddRow({account.name, AccountPermissionsText(config, account, m_language)});
        m_names.push_back(account.name);
    }
    m_list->Reload();
    UpdateButtons();
}

void AccountsPage::UpdateButtons() {
    const bool selected = SelectedRow() >= 0;
    for (Button* button : m_accountButtons)
        button->SetEnabled(selected);
}

std::int64_t AccountsPage::SelectedRow() const {
    if (!m_list)
        return -1;
    const std::int64_t row = m_list->Selection().FirstSelected();
    if (row < 0 || row >= static_cast<std::int64_t>(m_names.size()))
        return -1;
    return row;
}

void AccountsPage::EditAccount(bool isNew) {
    const auto& editAccount = Context().services.editAccount;
    if (!m_list || !editAccount)
        return;
    const Config config = Context().commands.Current();
    Account account;
    std::u16string originalName;
    if (!isNew) {
        const std::int64_t row = SelectedRow();
        if (row < 0)
            return;
        originalName = m_names[static_cast<std::size_t>(row)];
        const Account* found = config.FindAccount(originalName);
        // The account went away since the list was filled.
        if (!found)
            return;
        account = *found;
    }
    if (!editAccount(config, account, isNew))
        return;
    if (isNew)
        ReportFeature("add_account");

    // Idempotent: the change may meet a configuration that already holds it.
    Context().commands.Change(
        [isNew, originalName, account](Config& edited) {
            if (isNew) {
                if (Account* existing = FindByName(edited, account.name))
                    *existing = account;
                else
                    edited.accounts.push_back(account);
                return true;
            }
            Account* target = FindByName(edited, originalName);
            if (!target)
                target = FindByName(edited, account.name);
            if (!target)
                return false;
            *target = account;
            return true;
        },
        [](const ConfigEditResult&) {});

    Fill();
    const Config now = Context().commands.Current();
    const auto shown = std::find_if(
        now.accounts.begin(), now.accounts.end(),
        [&account](const Account& candidate) { return candidate.name == account.name; });
    if (shown != now.accounts.end() && m_list)
        m_list->SelectOnly(shown - now.accounts.begin());
    UpdateButtons();
}

void AccountsPage::DeleteAccount() {
    const std::int64_t row = SelectedRow();
    if (row < 0)
        return;
    const std::u16string name = m_names[static_cast<std::size_t>(row)];
    const auto& ask = Context().services.ask;
    if (!ask || !ask(Text(TextId::Delete, m_language),
                     Format(TextId::ConfirmDeleteAccount, m_language, {name})))
        return;
    Context().commands.Change(
        [name](Config& edited) {
            const auto before = edited.accounts.size();
            std::erase_if(edited.accounts,
                          [&name](const Account& account) { return account.name == name; });
            return edited.accounts.size() != before;
        },
        [](const ConfigEditResult&) {});
    Fill();
}

} // namespace App
