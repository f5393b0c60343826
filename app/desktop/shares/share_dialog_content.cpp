#include "app/desktop/shares/share_dialog_content.h"

#include "app/desktop/form_grid.h"
#include "app/desktop/window_cards.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/grid.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;
using Velto::Widget::Controls::ComboBox;
using Velto::Widget::Controls::NumberBox;
using Velto::Widget::Controls::TextBox;

namespace {

constexpr float kCheckBoxIndent = 28;
constexpr double kUploadStep = 100;
constexpr double kUploadLargeStep = 1000;
constexpr std::u16string_view kMegabytes = u"MB";

} // namespace

ShareDialogContent::ShareDialogContent(const Velto::Corvane::Config& config,
                                       const Velto::Corvane::Share& share, bool isNew,
                                       UiLanguage language, Pickers pickers)
    : m_config(config), m_share(share), m_isNew(isNew), m_language(language),
      m_pickers(std::move(pickers)), m_result(share) {}

std::u16string ShareDialogContent::Title() const {
    if (m_share.file)
        return Text(m_isNew ? TextId::AddSharedFile : TextId::EditSharedFile, m_language);
    return Text(m_isNew ? TextId::AddSharedFolder : TextId::EditSharedFolder, m_language);
}

std::unique_ptr<Widget> ShareDialogContent::Build() {
    const bool file = m_share.file;
    FormGrid form;

    auto name = std::make_unique<TextBox>();
    name->SetMaxLength(kMaxNameUnits);
    name->SetText(m_share.name);
    m_name = form.AddLabelled(Text(TextId::NameLabel, m_language), std::move(name));
    form.AddHint(Text(TextId::NameInAddressesHint, m_language), 0);

    const std::u16string& pathLabel =
        Text(file ? TextId::FileLabel : TextId::FolderLabel, m_language);
    auto pathRow = std::make_unique<Grid>();
    pathRow->AddColumn(GridLength::Star());
    pathRow->AddColumn(GridLength::Auto());
    pathRow->AddRow(GridLength::Auto());
    pathRow->SetSpacing(0, 8);
    auto path = std::make_unique<TextBox>();
    path->SetText(m_share.path);
    path->SetAccessibleName(AccessibleNameOf(pathLabel));
    m_path = pathRow->AddAt(std::move(path), 0, 0);
    auto browse = std::make_unique<Button>(Text(TextId::Browse, m_language));
    browse->SetOnClick([this] { Browse(); });
    pathRow->AddAt(std::move(browse), 0, 1);
    form.AddLabelled(pathLabel, std::move(pathRow));

    if (file) {
        form.AddHint(Text(TextId::SharedFileReadOnlyHint, m_language), 0);
    } else {
        auto readOnly = std::make_unique<CheckBox>(Text(TextId::ReadOnly, m_language));
        readOnly->SetState(m_share.readOnly ? CheckState::Checked : CheckState::Unchecked);
        m_readOnly = form.AddControl(std::move(readOnly));
        form.AddHint(Text(TextId::ReadOnlyHint, m_language), kCheckBoxIndent);
    }

    auto guest = std::make_unique<ComboBox>();
    std::vector<std::u16string> items{Text(TextId::GuestNotOpen, m_language),
                                      Text(TextId::GuestRead, m_language)};
    if (!file) {
        items.push_back(Text(TextId::GuestReadWrite, m_language));
        items.push_back(Text(TextId::GuestReadWriteDelete, m_language));
    }
    guest->SetItems(std::move(items));
    guest->SetSelectedIndex(static_cast<int>(GuestChoiceFor(m_share.guest, file)), false);
    m_guest = form.AddLabelled(Text(TextId::GuestsCanLabel, m_language), std::move(guest));
    form.AddHint(Text(TextId::GuestsHint, m_language), 0);

    const bool hasPassword = !m_share.password.empty();
    auto ask = std::make_unique<CheckBox>(Text(TextId::AskGuestsForPassword, m_language));
    ask->SetState(hasPassword ? CheckState::Checked : CheckState::Unchecked);
    m_askPassword = form.AddControl(std::move(ask));
    auto password = std::make_unique<TextBox>();
    password->SetPassword(true, true);
    if (hasPassword)
        password->SetPlaceholder(Text(TextId::LeaveEmptyToKeep, m_language));
    password->SetEnabled(hasPassword);
    m_password = form.AddLabelled(Text(TextId::PasswordLabel, m_language), std::move(password));
    m_askPassword->SetOnChange(
        [this](CheckState state) { m_password->SetEnabled(state == CheckState::Checked); });

    if (!file) {
        auto upload = std::make_unique<NumberBox>();
        upload->SetRange(0, kMaxUploadMegabytes);
        upload->SetDecimals(0);
        upload->SetSteps(kUploadStep, kUploadLargeStep);
        upload->SetSuffix(std::u16string{kMegabytes});
        upload->SetValue(UploadLimitMegabytes(m_share.maxUploadBytes), false);
        m_upload =
            form.AddLabelled(Text(TextId::LargestUploadLabel, m_language), std::move(upload));
        form.AddHint(Text(TextId::LargestUploadHint, m_language), 0);
    }

    auto content = std::make_unique<Stack>(Orientation::Vertical, FormGrid::kRowSpacing);
    content->AddChild(form.Take());
    auto error = content->Add(MakeLabel({}, TextStyle::Body, Tone::Critical));
    error->SetWrap(true);
    error->SetVisible(false);
    m_error = error;
    return content;
}

ShareFormInput ShareDialogContent::Input() const {
    ShareFormInput input;
    input.name = m_name->GetText();
    input.path = m_path->GetText();
    input.askPassword = m_askPassword->State() == CheckState::Checked;
    input.password = m_password->GetText();
    input.guest = static_cast<GuestChoice>(std::max(0, m_guest->GetSelectedIndex()));
    input.readOnly = m_readOnly && m_readOnly->State() == CheckState::Checked;
    input.uploadMegabytes = m_upload ? m_upload->GetValue() : 0;
    return input;
}

void ShareDialogContent::ShowError(const FormError& error) {
    m_error->SetText(Text(error.message, m_language));
    m_error->SetVisible(true);
    Widget* field = m_name;
    if (error.field == static_cast<std::int32_t>(ShareField::Path))
        field = m_path;
    else if (error.field == static_cast<std::int32_t>(ShareField::Password))
        field = m_password;
    field->RequestFocus(true);
}

bool ShareDialogContent::Confirm() {
    const ShareFormInput input = Input();
    if (const auto error = ValidateShareForm(m_config, m_share, input)) {
        ShowError(*error);
        return false;
    }
    Velto::Corvane::Share result = m_share;
    if (!ApplyShareForm(result, input)) {
        // The password could not be protected; nothing is stored without it.
        m_error->SetText(Format(TextId::ErrorCode, m_language, {u"80004005"}));
        m_error->SetVisible(true);
        m_password->RequestFocus(true);
        return false;
    }
    m_result = std::move(result);
    return true;
}

void ShareDialogContent::Browse() {
    std::optional<std::string> chosen;
    if (m_share.file && m_pickers.file)
        chosen = m_pickers.file(Text(TextId::ChooseFilesTitle, m_language),
                                Text(TextId::AllFiles, m_language));
    else if (!m_share.file && m_pickers.folder)
        chosen = m_pickers.folder(Text(TextId::ChooseFolderTitle, m_language),
                                  Velto::Utf16ToUtf8(m_path->GetText()));
    if (!chosen)
        return;
    const std::u16string path = Velto::Utf8ToUtf16(*chosen);
    m_path->SetText(path);
    if (!TrimSpacesAndTabs(m_name->GetText()).empty())
        return;
    if (auto name = NameFromBrowsedPath(path))
        m_name->SetText(*name);
}

} // namespace App
