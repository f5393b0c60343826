#include "app/desktop/accounts/account_dialog_content.h"

#include "app/desktop/form_grid.h"
#include "app/desktop/window_cards.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "widget/controls/check_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/grid.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;
using Velto::Widget::Controls::TextBox;

namespace {

constexpr float kRightsColumnWidth = 64;

bool IsChecked(const CheckBox* box) {
    return box && box->State() == CheckState::Checked;
}

void SetChecked(CheckBox* box, bool checked) {
    if (box && IsChecked(box) != checked)
        box->SetState(checked ? CheckState::Checked : CheckState::Unchecked);
}

} // namespace

AccountDialogContent::AccountDialogContent(const Velto::Corvane::Config& config,
                                           const Velto::Corvane::Account& account, bool isNew,
                                           UiLanguage language)
    : m_config(config), m_account(account), m_isNew(isNew), m_language(language),
      m_result(account) {}

std::u16string AccountDialogContent::Title() const {
    return Text(m_isNew ? TextId::AddAccount : TextId::EditAccount, m_language);
}

std::unique_ptr<Widget> AccountDialogContent::Build() {
    FormGrid form;
    auto name = std::make_unique<TextBox>();
    name->SetMaxLength(kMaxNameUnits);
    name->SetText(m_account.name);
    m_name = form.AddLabelled(Text(TextId::NameLabel, m_language), std::move(name));
    const auto passwordBox = [this] {
        auto box = std::make_unique<TextBox>();
        box->SetPassword(true, false);
        if (!m_isNew)
            box->SetPlaceholder(Text(TextId::LeaveEmptyToKeep, m_language));
        return box;
    };
    m_password = form.AddLabelled(Text(TextId::PasswordLabel, m_language), passwordBox());
    m_confirmation =
        form.AddLabelled(Text(TextId::ConfirmPasswordLabel, m_language), passwordBox());

    auto content = std::make_unique<Stack>(Orientation::Vertical, FormGrid::kRowSpacing);
    content->AddChild(form.Take());
    auto heading =
        content->Add(MakeLabel(Text(TextId::PermissionsPerItem, m_language), TextStyle::Subtitle));
    heading->SetMargin(Thickness{0, 8, 0, 0});
    content->AddChild(BuildRights());
    auto error = content->Add(MakeLabel({}, TextStyle::Body, Tone::Critical));
    error->SetWrap(true);
    error->SetVisible(false);
    m_error = error;
    return content;
}

std::unique_ptr<Widget> AccountDialogContent::BuildRights() {
    if (m_config.shares.empty()) {
        auto none = MakeLabel(Text(TextId::ShareSomethingFirst, m_language));
        none->SetWrap(true);
        return none;
    }
    auto stack = std::make_unique<Stack>(Orientation::Vertical, FormGrid::kRowSpacing);
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Star());
    for (int i = 0; i < 3; ++i)
        grid->AddColumn(GridLength::Pixel(kRightsColumnWidth));
    grid->SetSpacing(6, 8);
    grid->AddRow(GridLength::Auto());
    const TextId columns[] = {TextId::SharedItem, TextId::PermissionRead, TextId::PermissionWrite,
                              TextId::Delete};
    for (int column = 0; column < 4; ++column)
        grid->AddAt(
            MakeLabel(Text(columns[column], m_language), TextStyle::Caption, Tone::Secondary), 0,
            column);

    const std::vector<RightsRow> rows = RightsRowsFor(m_config, m_account);
    m_rights.clear();
    for (std::size_t i = 0; i < m_config.shares.size(); ++i) {
        const auto& share = m_config.shares[i];
        const int row = static_cast<int>(i) + 1;
        grid->AddRow(GridLength::Auto());
        auto name = MakeLabel(
            share.readOnly ? Format(TextId::NameReadOnly, m_language, {share.name}) : share.name);
        name->SetVerticalAlignment(Alignment::Center);
        name->SetTrimming(true);
        grid->AddAt(std::move(name), row, 0);
        RightsBoxes boxes;
        const bool checked[] = {rows[i].read, rows[i].write, rows[i].remove};
        CheckBox** slots[] = {&boxes.read, &boxes.write, &boxes.remove};
        for (int column = 0; column < 3; ++column) {
            auto box = std::make_unique<CheckBox>();
            box->SetState(checked[column] ? CheckState::Checked : CheckState::Unchecked);
            box->SetAccessibleName(share.name + u" " + Text(columns[column + 1], m_language));
            // A read-only share keeps its stored write and delete rights,
            // which the server does not grant anyway.
            if (share.readOnly && column > 0)
                box->SetEnabled(false);
            box->SetOnChange([this, i, column](CheckState) { Couple(i, column); });
            *slots[column] = grid->AddAt(std::move(box), row, column + 1);
        }
        m_rights.push_back(boxes);
    }
    stack->AddChild(std::move(grid));
    auto hint = stack->Add(MakeLabel(Text(TextId::PermissionRulesHint, m_language),
                                     TextStyle::Caption, Tone::Secondary));
    hint->SetWrap(true);
    return stack;
}

void AccountDialogContent::Couple(std::size_t row, int changed) {
    if (row >= m_rights.size())
        return;
    RightsBoxes& boxes = m_rights[row];
    RightsRow rights{IsChecked(boxes.read), IsChecked(boxes.write), IsChecked(boxes.remove)};
    if (changed == 0)
        rights.SetRead(rights.read);
    else if (changed == 1)
        rights.SetWrite(rights.write);
    else
        rights.SetRemove(rights.remove);
    SetChecked(boxes.read, rights.read);
    SetChecked(boxes.write, rights.write);
    SetChecked(boxes.remove, rights.remove);
}

AccountFormInput AccountDialogContent::Input() const {
    AccountFormInput input;
    input.name = m_name->GetText();
    input.password = m_password->GetText();
    input.confirmation = m_confirmation->GetText();
    for (const RightsBoxes& boxes : m_rights)
        input.rights.push_back(
            RightsRow{IsChecked(boxes.read), IsChecked(boxes.write), IsChecked(boxes.remove)});
    return input;
}

bool AccountDialogContent::Confirm() {
    const AccountFormInput input = Input();
    if (const auto error = ValidateAccountForm(m_config, m_account, m_isNew, input)) {
        m_error->SetText(Text(error->message, m_language));
        m_error->SetVisible(true);
        TextBox* field = m_name;
        if (error->field == static_cast<std::int32_t>(AccountField::Password))
            field = m_password;
        else if (error->field == static_cast<std::int32_t>(AccountField::Confirmation))
            field = m_confirmation;
        field->RequestFocus(true);
        return false;
    }
    Velto::Corvane::Account result = m_account;
    if (!ApplyAccountForm(m_config, result, input)) {
        m_error->SetText(Format(TextId::ErrorCode, m_language, {u"80004005"}));
        m_error->SetVisible(true);
        m_password->RequestFocus(true);
        return false;
    }
    m_result = std::move(result);
    return true;
}

} // namespace App
