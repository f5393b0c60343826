#pragma once

#include "app/desktop/accounts/account_dialog_checks.h"
#include "app/texts/ui_language.h"
#include "config/config.h"
#include "widget/core/widget.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class CheckBox;
class Label;
namespace Controls {
class TextBox;
}
} // namespace Velto::Widget

namespace App {

// The contents of the account dialog: name, password twice, and a row of
// read, write and delete boxes per shared item.
class AccountDialogContent {
public:
    struct RightsBoxes {
        Velto::Widget::CheckBox* read{nullptr};
        Velto::Widget::CheckBox* write{nullptr};
        Velto::Widget::CheckBox* remove{nullptr};
    };

    AccountDialogContent(const Velto::Corvane::Config& config,
                         const Velto::Corvane::Account& account, bool isNew, UiLanguage language);

    std::u16string Title() const;
    std::unique_ptr<Velto::Widget::Widget> Build();
    // Checks the input; on a problem the error line says it and the field
    // takes the focus; otherwise Result() holds the edited account.
    bool Confirm();
    const Velto::Corvane::Account& Result() const { return m_result; }
    AccountFormInput Input() const;

    Velto::Widget::Controls::TextBox* NameBox() const { return m_name; }
    Velto::Widget::Controls::TextBox* PasswordBox() const { return m_password; }
    Velto::Widget::Controls::TextBox* ConfirmationBox() const { return m_confirmation; }
    const std::vector<RightsBoxes>& Rights() const { return m_rights; }
    Velto::Widget::Label* ErrorLabel() const { return m_error; }

private:
    std::unique_ptr<Velto::Widget::Widget> BuildRights();
    // The row's boxes after one of them changed, kept consistent.
    void Couple(std::size_t row, int changed);

    const Velto::Corvane::Config& m_config;
    Velto::Corvane::Account m_account;
    bool m_isNew{false};
    UiLanguage m_language{UiLanguage::Korean};
    Velto::Corvane::Account m_result;

    Velto::Widget::Controls::TextBox* m_name{nullptr};
    Velto::Widget::Controls::TextBox* m_password{nullptr};
    Velto::Widget::Controls::TextBox* m_confirmation{nullptr};
    std::vector<RightsBoxes> m_rights;
    Velto::Widget::Label* m_error{nullptr};
};

} // namespace App
