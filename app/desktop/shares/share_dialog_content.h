#pragma once

#include "app/desktop/form_pickers.h"

#include "app/desktop/shares/share_dialog_checks.h"
#include "app/texts/ui_language.h"
#include "config/config.h"
#include "widget/core/widget.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Velto::Widget {
class CheckBox;
class Label;
namespace Controls {
class ComboBox;
class NumberBox;
class TextBox;
} // namespace Controls
} // namespace Velto::Widget

namespace App {

// The contents of the share dialog: the form, its checks and what it writes.
// The dialog around it adds OK (which runs Confirm) and Cancel.
class ShareDialogContent {
public:
    using Pickers = FormPickers;

    ShareDialogContent(const Velto::Corvane::Config& config, const Velto::Corvane::Share& share,
                       bool isNew, UiLanguage language, Pickers pickers);

    std::u16string Title() const;
    // The form followed by the error line.
    std::unique_ptr<Velto::Widget::Widget> Build();
    // Checks the input. On a problem the error line says it and the field
    // concerned takes the focus; otherwise Result() holds the edited share.
    bool Confirm();
    const Velto::Corvane::Share& Result() const { return m_result; }

    void Browse();
    ShareFormInput Input() const;

    Velto::Widget::Controls::TextBox* NameBox() const { return m_name; }
    Velto::Widget::Controls::TextBox* PathBox() const { return m_path; }
    Velto::Widget::Controls::TextBox* PasswordBox() const { return m_password; }
    Velto::Widget::CheckBox* AskPasswordBox() const { return m_askPassword; }
    Velto::Widget::CheckBox* ReadOnlyBox() const { return m_readOnly; }
    Velto::Widget::Controls::ComboBox* GuestBox() const { return m_guest; }
    Velto::Widget::Controls::NumberBox* UploadBox() const { return m_upload; }
    Velto::Widget::Label* ErrorLabel() const { return m_error; }

private:
    void ShowError(const FormError& error);

    const Velto::Corvane::Config& m_config;
    Velto::Corvane::Share m_share;
    bool m_isNew{false};
    UiLanguage m_language{UiLanguage::Korean};
    Pickers m_pickers;
    Velto::Corvane::Share m_result;

    Velto::Widget::Controls::TextBox* m_name{nullptr};
    Velto::Widget::Controls::TextBox* m_path{nullptr};
    Velto::Widget::CheckBox* m_readOnly{nullptr};
    Velto::Widget::Controls::ComboBox* m_guest{nullptr};
    Velto::Widget::CheckBox* m_askPassword{nullptr};
    Velto::Widget::Controls::TextBox* m_password{nullptr};
    Velto::Widget::Controls::NumberBox* m_upload{nullptr};
    Velto::Widget::Label* m_error{nullptr};
};

} // namespace App
