#pragma once

#include "app/desktop/form_pickers.h"

#include "app/desktop/links/link_address_view.h"
#include "app/desktop/links/link_form_checks.h"
#include "app/texts/ui_language.h"
#include "config/config.h"
#include "widget/core/widget.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Velto::Widget {
class Border;
class Button;
class CheckBox;
class Label;
namespace Controls {
class ComboBox;
class TextBox;
} // namespace Controls
} // namespace Velto::Widget

namespace App {

// The contents of the new-link dialog: the form (target, mode, expiry,
// password, label), its checks and the link it makes; once the link is kept,
// its address with copy and QR code in the form's place. The dialog around
// it adds OK (which runs Confirm) and Cancel.
class LinkDialogContent {
public:
    using Pickers = FormPickers;

    LinkDialogContent(const Velto::Corvane::Share& share, UiLanguage language, Pickers pickers);

    std::u16string Title() const;
    // The form followed by the error line.
    std::unique_ptr<Velto::Widget::Widget> Build();
    // Checks the input. On a problem the error line says it and the field
    // concerned takes the focus; otherwise Result() holds the new link,
    // created `now` (seconds since 1970).
    bool Confirm(std::int64_t now);
    const std::optional<Velto::Corvane::ShareLink>& Result() const { return m_result; }
    // Replaces the form with the link's address (empty: the server has none
    // now), its copy button and QR code.
    void ShowMade(const std::u16string& address, CopyText copy);

    void PickFolder();
    void PickFile();
    LinkFormInput Input() const;
    // The field the dialog starts in.
    Velto::Widget::Widget* FirstField() const;

    Velto::Widget::Controls::TextBox* TargetBox() const { return m_target; }
    Velto::Widget::Controls::ComboBox* ModeBox() const { return m_mode; }
    Velto::Widget::Controls::ComboBox* ExpiryBox() const { return m_expiry; }
    Velto::Widget::CheckBox* AskPasswordBox() const { return m_askPassword; }
    Velto::Widget::Controls::TextBox* PasswordBox() const { return m_password; }
    Velto::Widget::Controls::TextBox* LabelBox() const { return m_label; }
    Velto::Widget::Label* ErrorLabel() const { return m_error; }

private:
    std::unique_ptr<Velto::Widget::Widget> BuildForm();
    void ShowError(const FormError& error);
    void ShowPicked(const std::string& path);

    Velto::Corvane::Share m_share;
    UiLanguage m_language{UiLanguage::Korean};
    Pickers m_pickers;
    std::optional<Velto::Corvane::ShareLink> m_result;

    Velto::Widget::Border* m_host{nullptr};
    Velto::Widget::Controls::TextBox* m_target{nullptr};
    Velto::Widget::Controls::ComboBox* m_mode{nullptr};
    Velto::Widget::Controls::ComboBox* m_expiry{nullptr};
    Velto::Widget::CheckBox* m_askPassword{nullptr};
    Velto::Widget::Controls::TextBox* m_password{nullptr};
    Velto::Widget::Controls::TextBox* m_label{nullptr};
    Velto::Widget::Label* m_error{nullptr};
};

} // namespace App
