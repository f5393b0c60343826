#include "app/desktop/links/link_dialog_content.h"

#include "app/desktop/form_grid.h"
#include "app/desktop/window_cards.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/border.h"
#include "widget/core/grid.h"
#include "widget/core/stack.h"

#include <algorithm>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::LinkLifetime;
using Velto::Corvane::LinkMode;
using Velto::Widget::Controls::ComboBox;
using Velto::Widget::Controls::TextBox;

namespace {

constexpr float kPathSpacing = 8;

TextId LifetimeText(LinkLifetime lifetime) {
    switch (lifetime) {
    case LinkLifetime::Hour:
        return TextId::ExpiryHour;
    case LinkLifetime::Day:
        return TextId::ExpiryDay;
    case LinkLifetime::Week:
        return TextId::ExpiryWeek;
    case LinkLifetime::Month:
        return TextId::ExpiryMonth;
    case LinkLifetime::Never:
        break;
    }
    return TextId::ExpiryNever;
}

} // namespace

LinkDialogContent::LinkDialogContent(const Velto::Corvane::Share& share, UiLanguage language,
                                     Pickers pickers)
    : m_share(share), m_language(language), m_pickers(std::move(pickers)) {}

std::u16string LinkDialogContent::Title() const {
    return Text(TextId::NewLink, m_language);
}

std::unique_ptr<Widget> LinkDialogContent::Build() {
    auto host = std::make_unique<Border>();
    m_host = host.get();
    host->AddChild(BuildForm());
    return host;
}

std::unique_ptr<Widget> LinkDialogContent::BuildForm() {
    FormGrid form;

    auto shareName = MakeLabel(m_share.name);
    shareName->SetBold(true);
    shareName->SetTrimming(true);
    form.AddLabelled(Text(TextId::LinkShareLabel, m_language), std::move(shareName));

    // A shared file is its own target; a folder's may lie anywhere inside it.
    if (!m_share.file) {
        const std::u16string& targetLabel = Text(TextId::LinkTargetLabel, m_language);
        auto row = std::make_unique<Grid>();
        row->AddColumn(GridLength::Star());
        row->AddColumn(GridLength::Auto());
        row->AddColumn(GridLength::Auto());
        row->AddRow(GridLength::Auto());
        row->SetSpacing(0, kPathSpacing);
        auto target = std::make_unique<TextBox>();
        target->SetPlaceholder(Text(TextId::LinkWholeShare, m_language));
        target->SetAccessibleName(AccessibleNameOf(targetLabel));
        target->SetAutomationId(u"link.target");
        m_target = row->AddAt(std::move(target), 0, 0);
        auto folder = std::make_unique<Button>(Text(TextId::PickFolder, m_language));
        folder->SetAutomationId(u"link.pickFolder");
        folder->SetOnClick([this] { PickFolder(); });
        row->AddAt(std::move(folder), 0, 1);
        auto file = std::make_unique<Button>(Text(TextId::PickFile, m_language));
        file->SetAutomationId(u"link.pickFile");
        file->SetOnClick([this] { PickFile(); });
        row->AddAt(std::move(file), 0, 2);
        form.AddLabelled(targetLabel, std::move(row));
        form.AddHint(Text(TextId::LinkTargetHint, m_language), 0);
    }

    auto mode = std::make_unique<ComboBox>();
    std::vector<std::u16string> modes{Text(TextId::LinkModeView, m_language)};
    if (ShareTakesUploadLinks(m_share))
        modes.push_back(Text(TextId::LinkModeUpload, m_language));
    mode->SetItems(std::move(modes));
    mode->SetSelectedIndex(0, false);
    mode->SetEnabled(ShareTakesUploadLinks(m_share));
    mode->SetAutomationId(u"link.mode");
    m_mode = form.AddLabelled(Text(TextId::LinkModeLabel, m_language), std::move(mode));
    if (!m_share.file && m_share.readOnly)
        form.AddHint(Text(TextId::LinkUploadReadOnly, m_language), 0);

    auto expiry = std::make_unique<ComboBox>();
    std::vector<std::u16string> lifetimes;
    for (const LinkLifetime lifetime : kLifetimeChoices)
        lifetimes.push_back(Text(LifetimeText(lifetime), m_language));
    expiry->SetItems(std::move(lifetimes));
    expiry->SetSelectedIndex(static_cast<int>(kDefaultLifetimeChoice), false);
    expiry->SetAutomationId(u"link.expiry");
    m_expiry = form.AddLabelled(Text(TextId::LinkExpiryLabel, m_language), std::move(expiry));

    auto ask = std::make_unique<CheckBox>(Text(TextId::AskVisitorsForPassword, m_language));
    ask->SetAutomationId(u"link.askPassword");
    m_askPassword = form.AddControl(std::move(ask));
    auto password = std::make_unique<TextBox>();
    password->SetPassword(true, true);
    password->SetEnabled(false);
    password->SetAutomationId(u"link.password");
    m_password = form.AddLabelled(Text(TextId::PasswordLabel, m_language), std::move(password));
    m_askPassword->SetOnChange(
        [this](CheckState state) { m_password->SetEnabled(state == CheckState::Checked); });

    auto label = std::make_unique<TextBox>();
    label->SetMaxLength(Velto::Corvane::ShareLink::kMaxLabelLength);
    label->SetAutomationId(u"link.label");
    m_label = form.AddLabelled(Text(TextId::LinkLabelLabel, m_language), std::move(label));
    form.AddHint(Text(TextId::LinkLabelHint, m_language), 0);

    auto content = std::make_unique<Stack>(Orientation::Vertical, FormGrid::kRowSpacing);
    content->AddChild(form.Take());
    auto error = content->Add(MakeLabel({}, TextStyle::Body, Tone::Critical));
    error->SetWrap(true);
    error->SetVisible(false);
    error->SetAutomationId(u"link.error");
    m_error = error;
    return content;
}

Widget* LinkDialogContent::FirstField() const {
    if (m_target)
        return m_target;
    return m_label;
}

LinkFormInput LinkDialogContent::Input() const {
    LinkFormInput input;
    input.target = m_target ? m_target->GetText() : std::u16string{};
    input.mode = m_mode->GetSelectedIndex() == 1 ? LinkMode::Upload : LinkMode::View;
    const auto lifetime = static_cast<std::size_t>(
        std::clamp(m_expiry->GetSelectedIndex(), 0, static_cast<int>(kLifetimeChoices.size()) - 1));
    input.lifetime = kLifetimeChoices[lifetime];
    input.askPassword = m_askPassword->State() == CheckState::Checked;
    input.password = m_password->GetText();
    input.label = m_label->GetText();
    return input;
}

void LinkDialogContent::ShowError(const FormError& error) {
    m_error->SetText(Text(error.message, m_language));
    m_error->SetVisible(true);
    Widget* field = FirstField();
    switch (static_cast<LinkField>(error.field)) {
    case LinkField::Target:
        break;
    case LinkField::Mode:
        field = m_mode;
        break;
    case LinkField::Password:
        field = m_password;
        break;
    case LinkField::Label:
        field = m_label;
        break;
    }
    if (field)
        field->RequestFocus(true);
}

bool LinkDialogContent::Confirm(std::int64_t now) {
    const LinkFormInput input = Input();
    if (const auto error = ValidateLinkForm(m_share, input)) {
        ShowError(*error);
        return false;
    }
    std::optional<Velto::Corvane::ShareLink> link = MakeLinkFromForm(m_share, input, now);
    if (!link) {
        // No random token or no password hash: nothing is kept without them.
        m_error->SetText(Format(TextId::ErrorCode, m_language, {u"80004005"}));
        m_error->SetVisible(true);
        return false;
    }
    m_result = std::move(link);
    return true;
}

void LinkDialogContent::ShowMade(const std::u16string& address, CopyText copy) {
    if (!m_host)
        return;
    m_target = nullptr;
    m_mode = nullptr;
    m_expiry = nullptr;
    m_askPassword = nullptr;
    m_password = nullptr;
    m_label = nullptr;
    m_error = nullptr;
    m_host->ClearChildren();
    m_host->AddChild(
        BuildLinkAddressView(Text(TextId::LinkReady, m_language), address, m_language, copy));
}

void LinkDialogContent::ShowPicked(const std::string& path) {
    const std::u16string picked = Velto::Utf8ToUtf16(path);
    // Shown inside the share where it lies there; as picked otherwise, for
    // the checks to refuse.
    const LinkTarget target = ResolveLinkTarget(m_share, picked);
    m_target->SetText(target.problem ? picked : target.path);
    m_error->SetVisible(false);
}

void LinkDialogContent::PickFolder() {
    if (!m_target || !m_pickers.folder)
        return;
    if (auto chosen = m_pickers.folder(Text(TextId::ChooseLinkFolderTitle, m_language),
                                       Velto::Utf16ToUtf8(m_share.path)))
        ShowPicked(*chosen);
}

void LinkDialogContent::PickFile() {
    if (!m_target || !m_pickers.file)
        return;
    if (auto chosen = m_pickers.file(Text(TextId::ChooseLinkFileTitle, m_language),
                                     Text(TextId::AllFiles, m_language)))
        ShowPicked(*chosen);
}

} // namespace App
