#include "app/desktop/settings/settings_page.h"

#include "app/desktop/form_grid.h"
#include "app/desktop/service_commands.h"
#include "app/desktop/shares/share_dialog_checks.h"
#include "app/desktop/window_cards.h"
#include "app/desktop/window_glyphs.h"
#include "app/desktop/window_services.h"
#include "app/run/trace_file.h"
#include "app/texts/text_table.h"
#include "app/usage/usage_stats.h"
#include "base/utf.h"
#include "config/secret_protection.h"
#include "server/cert/self_signed_certificate.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/border.h"
#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/label.h"
#include "widget/core/scroll_viewer.h"
#include "widget/core/separator.h"
#include "widget/core/stack.h"

#include <cmath>
#include <utility>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::CertificateKind;
using Velto::Corvane::Config;
using Velto::Corvane::ServiceStatus;
using Velto::Widget::Controls::ComboBox;
using Velto::Widget::Controls::NumberBox;
using Velto::Widget::Controls::TextBox;

namespace {

constexpr float kPageSpacing = 16;
constexpr Thickness kPageMargin{24, 20, 24, 24};
constexpr Thickness kSectionPadding{20, 20, 20, 20};
constexpr float kSectionSpacing = 10;
constexpr float kHintPull = -4;
constexpr float kApplySpacing = 12;
constexpr float kCertInfoSpacing = 4;
constexpr Thickness kCertInfoMargin{0, 6, 0, 0};
constexpr float kCertTitleSpacing = 6;
constexpr float kCertIconSize = 12;
constexpr float kPfxRowSpacing = 8;
constexpr int kMinPort = 1;
constexpr int kMaxPort = 65535;
constexpr int kSelfSignedItem = 0;
constexpr int kPfxItem = 1;
constexpr int kSystemItem = 0;
constexpr int kFirstItem = 1;
constexpr int kSecondItem = 2;
constexpr std::u16string_view kPfxPatterns = u"*.pfx;*.p12";

Stack* AddSection(Stack& page, const std::u16string& title) {
    auto card = MakeCard(kSectionPadding);
    auto stack = card->Add(std::make_unique<Stack>(Orientation::Vertical, kSectionSpacing));
    stack->Add(MakeLabel(title, TextStyle::Subtitle));
    page.AddChild(std::move(card));
    return stack;
}

// `target` is what the label names and focuses: the control itself unless
// the control is a group around it.
template <typename T>
T* AddRow(Stack& section, const std::u16string& label, std::unique_ptr<T> control, float width,
          Widget* target = nullptr) {
    if (!target)
        target = control.get();
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Pixel(SettingsPage::kLabelColumn));
    grid->AddColumn(GridLength::Star());
    grid->AddRow(GridLength::Auto());
    auto text = MakeLabel(label);
    text->SetVerticalAlignment(Alignment::Center);
    text->SetTarget(target);
    grid->AddAt(std::move(text), 0, 0);
    target->SetAccessibleName(AccessibleNameOf(label));
    if (width > 0) {
        control->SetWidth(width);
        control->SetHorizontalAlignment(Alignment::Start);
    }
    T* raw = grid->AddAt(std::move(control), 0, 1);
    section.AddChild(std::move(grid));
    return raw;
}

void AddHint(Stack& section, const std::u16string& text, float indent) {
    auto hint = section.Add(MakeLabel(text, TextStyle::Caption, Tone::Secondary));
    hint->SetWrap(true);
    hint->SetMargin(Thickness{indent, kHintPull, 0, 0});
}

CheckBox* AddCheck(Stack& section, const std::u16string& text, bool checked) {
    auto box = section.Add(std::make_unique<CheckBox>(text));
    box->SetState(checked ? CheckState::Checked : CheckState::Unchecked);
    return box;
}

bool IsChecked(const CheckBox* box) {
    return box && box->State() == CheckState::Checked;
}

std::unique_ptr<ComboBox> MakeCombo(std::vector<std::u16string> items, int selected) {
    auto combo = std::make_unique<ComboBox>();
    combo->SetItems(std::move(items));
    combo->SetSelectedIndex(selected, false);
    return combo;
}

int ChoiceIndex(const std::u16string& value, std::u16string_view first,
                std::u16string_view second) {
    if (value == first)
        return kFirstItem;
    if (value == second)
        return kSecondItem;
    return kSystemItem;
}

std::u16string ChoiceValue(int index, std::u16string_view first, std::u16string_view second) {
    if (index == kFirstItem)
        return std::u16string{first};
    if (index == kSecondItem)
        return std::u16string{second};
    return {};
}

} // namespace

SettingsPage::SettingsPage(PageContext& context) : Page(context), m_language(context.language) {
    AddChild(Build());
}

SettingsPage::~SettingsPage() = default;

std::unique_ptr<Widget> SettingsPage::Build() {
    const Config config = Context().commands.Current();
    const WindowServices& services = Context().services;
    const UiLanguage language = m_language;
    auto page = std::make_unique<Stack>(Orientation::Vertical, kPageSpacing);
    page->SetMargin(kPageMargin);

    Stack* server = AddSection(*page, Text(TextId::ServerSection, language));
    auto port = std::make_unique<NumberBox>();
    port->SetRange(kMinPort, kMaxPort);
    port->SetDecimals(0);
    port->SetValue(config.port, false);
    m_form.port = AddRow(*server, Text(TextId::PortLabel, language), std::move(port), kPortWidth);
    m_form.port->SetAutomationId(u"settings.port");
    AddHint(*server, Text(TextId::PortChangeRestartsHint, language), kLabelColumn);
    m_form.startOnLaunch =
        AddCheck(*server, Text(TextId::StartServerOnLaunch, language), config.startServerOnLaunch);
    m_form.runAtSignIn = AddCheck(*server, Text(TextId::RunAtSignIn, language),
                                  services.isAutostartEnabled && services.isAutostartEnabled());
    m_form.runAtSignIn->SetEnabled(static_cast<bool>(services.setAutostart));
    m_form.showHidden =
        AddCheck(*server, Text(TextId::ShowHiddenFiles, language), config.showHidden);
    m_form.webdav = AddCheck(*server, Text(TextId::DavSetting, language), config.webdav);

    Stack* internet = AddSection(*page, Text(TextId::InternetAccessSection, language));
    m_form.upnp = AddCheck(*internet, Text(TextId::UpnpSwitch, language), config.upnp);
    AddHint(*internet, Text(TextId::UpnpHint, language), kCheckHintIndent);

    Stack* https = AddSection(*page, Text(TextId::HttpsSection, language));
    m_form.https = AddCheck(*https, Text(TextId::UseHttps, language), config.https);
    m_form.https->SetAutomationId(u"settings.https");
    AddHint(*https, Text(TextId::HttpsHint, language), kCheckHintIndent);
    m_form.certificate = AddRow(
        *https, Text(TextId::CertificateLabel, language),
        MakeCombo({Text(TextId::SelfSignedCertificate, language), Text(TextId::PfxFile, language)},
                  config.certificate == CertificateKind::Pfx ? kPfxItem : kSelfSignedItem),
        kCertificateWidth);
    m_form.certificate->SetAutomationId(u"settings.certificate");

    auto pfxRow = std::make_unique<Grid>();
    pfxRow->AddColumn(GridLength::Star());
    pfxRow->AddColumn(GridLength::Auto());
    pfxRow->AddRow(GridLength::Auto());
    pfxRow->SetSpacing(0, kPfxRowSpacing);
    auto pfxPath = std::make_unique<TextBox>();
    pfxPath->SetText(config.pfxPath);
    pfxPath->SetAutomationId(u"settings.pfxPath");
    m_form.pfxPath = pfxRow->AddAt(std::move(pfxPath), 0, 0);
    auto browse = std::make_unique<Button>(Text(TextId::Browse, language));
    browse->SetAutomationId(u"settings.browse");
    m_form.browse = pfxRow->AddAt(std::move(browse), 0, 1);
    AddRow(*https, Text(TextId::PfxFileLabel, language), std::move(pfxRow), 0, m_form.pfxPath);

    auto password = std::make_unique<TextBox>();
    password->SetPassword(true, true);
    if (!config.pfxPassword.empty())
        password->SetPlaceholder(Text(TextId::LeaveEmptyToKeep, language));
    password->SetAutomationId(u"settings.pfxPassword");
    m_form.pfxPassword = AddRow(*https, Text(TextId::PfxPasswordLabel, language),
                                std::move(password), kCertificateWidth);
    m_certInfoHost = https->Add(std::make_unique<Stack>(Orientation::Vertical, kCertInfoSpacing));

    Stack* display = AddSection(*page, Text(TextId::DisplaySection, language));
    m_form.language =
        AddRow(*display, Text(TextId::LanguageLabel, language),
               MakeCombo({Text(TextId::SameAsSystem, language), u"한국어", u"English"},
                         ChoiceIndex(config.language, u"ko", u"en")),
               kChoiceWidth);
    m_form.language->SetAutomationId(u"settings.language");
    m_form.theme = AddRow(*display, Text(TextId::ColorsLabel, language),
                          MakeCombo({Text(TextId::SameAsSystem, language),
                                     Text(TextId::Light, language), Text(TextId::Dark, language)},
                                    ChoiceIndex(config.theme, u"light", u"dark")),
                          kChoiceWidth);
    m_form.theme->SetAutomationId(u"settings.theme");

    auto footer = page->Add(std::make_unique<Stack>(Orientation::Horizontal, kApplySpacing));
    m_footer = footer;
    auto apply = footer->Add(std::make_unique<Button>(Text(TextId::Apply, language)));
    apply->SetStyle(ButtonStyle::Accent);
    apply->SetMinWidth(kApplyMinWidth);
    apply->SetAutomationId(u"settings.apply");
    apply->SetOnClick([this] { Apply(); });
    auto status = footer->Add(MakeLabel({}));
    status->SetVerticalAlignment(Alignment::Center);
    status->SetAutomationId(u"settings.status");
    m_statusLabel = status;

    m_form.https->SetOnChange([this](CheckState) { UpdateHttpsEnabled(); });
    m_form.certificate->SetOnSelectionChanged([this](int) { UpdateHttpsEnabled(); });
    m_form.browse->SetOnClick([this] { Post([this] { BrowsePfx(); }); });

    auto scroller = std::make_unique<ScrollViewer>();
    scroller->SetScrollModes(ScrollMode::Scrollable, ScrollMode::Disabled);
    scroller->SetContent(std::move(page));
    m_scroller = scroller.get();
    UpdateHttpsEnabled();
    UpdateCertificateInfo(Context().commands.Status());
    // Built again by its own Apply: back where the user was, with the outcome.
    if (const auto outcome = std::exchange(Context().settingsOutcome, std::nullopt)) {
        m_restoreScrollY = outcome->scrollY;
        m_revealFooter = true;
        ShowStatus(
            Text(outcome->saved ? TextId::SettingsSaved : TextId::SettingsNotSaved, m_language),
            outcome->saved);
    }
    return scroller;
}

void SettingsPage::ArrangeOverride(SizeF finalSize) {
    Page::ArrangeOverride(finalSize);
    if (m_scroller == nullptr)
        return;
    if (const auto y = std::exchange(m_restoreScrollY, std::nullopt))
        m_scroller->ScrollTo(0, *y);
    if (std::exchange(m_revealFooter, false) && m_footer != nullptr)
        m_scroller->BringIntoView(*m_footer);
}

void SettingsPage::UpdateHttpsEnabled() {
    if (!m_form.https)
        return;
    const bool https = IsChecked(m_form.https);
    const bool pfx = https && m_form.certificate->GetSelectedIndex() == kPfxItem;
    m_form.certificate->SetEnabled(https);
    m_form.pfxPath->SetEnabled(pfx);
    m_form.browse->SetEnabled(pfx && static_cast<bool>(Context().services.pickFile));
    m_form.pfxPassword->SetEnabled(pfx);
}

void SettingsPage::BrowsePfx() {
    const auto& pickFile = Context().services.pickFile;
    if (!m_form.pfxPath || !pickFile)
        return;
    const auto chosen =
        pickFile(Text(TextId::ChoosePfxTitle, m_language),
                 Text(TextId::CertificateFilesFilter, m_language), std::u16string{kPfxPatterns});
    if (chosen)
        m_form.pfxPath->SetText(Velto::Utf8ToUtf16(*chosen));
}

void SettingsPage::ShowStatus(const std::u16string& text, bool success) {
    if (!m_statusLabel)
        return;
    m_statusLabel->SetText(text);
    m_statusLabel->SetTone(success ? Tone::Success : Tone::Critical);
    m_statusLabel->SetWrap(!success);
}

void SettingsPage::Apply() {
    if (!m_form.port || m_applying)
        return;
    ReportFeature("apply_settings");
    const Config current = Context().commands.Current();
    const std::u16string oldLanguage = current.language;
    const std::u16string oldTheme = current.theme;

    m_form.port->Commit();
    const auto port = static_cast<std::uint16_t>(
        std::lround(std::clamp<double>(m_form.port->GetValue(), kMinPort, kMaxPort)));
    const bool https = IsChecked(m_form.https);
    const bool pfx = m_form.certificate->GetSelectedIndex() == kPfxItem;
    const std::u16string pfxPath = TrimSpacesAndTabs(m_form.pfxPath->GetText());
    if (https && pfx && pfxPath.empty()) {
        ShowStatus(Text(TextId::ChoosePfxError, m_language), false);
        m_form.pfxPath->RequestFocus();
        return;
    }

    std::optional<std::string> protectedPassword;
    if (!m_form.pfxPassword->GetText().empty())
        protectedPassword =
            Velto::Corvane::ProtectSecret(Velto::Utf16ToUtf8(m_form.pfxPassword->GetText()));

    const bool startOnLaunch = IsChecked(m_form.startOnLaunch);
    const bool showHidden = IsChecked(m_form.showHidden);
    const bool webdav = IsChecked(m_form.webdav);
    const bool upnp = IsChecked(m_form.upnp);
    const std::u16string language = ChoiceValue(m_form.language->GetSelectedIndex(), u"ko", u"en");
    const std::u16string theme = ChoiceValue(m_form.theme->GetSelectedIndex(), u"light", u"dark");

    const bool runAtSignIn = IsChecked(m_form.runAtSignIn);
    const WindowServices& services = Context().services;
    if (services.setAutostart && services.isAutostartEnabled &&
        runAtSignIn != services.isAutostartEnabled() && !services.setAutostart(runAtSignIn)) {
        if (services.showError)
            services.showError(Text(TextId::RunAtSignInFailed, m_language));
    }

    m_applying = true;
    std::weak_ptr<bool> alive = Alive();
    Context().commands.Change(
        [=](Config& config) {
            config.port = port;
            config.startServerOnLaunch = startOnLaunch;
            config.showHidden = showHidden;
            config.webdav = webdav;
            config.upnp = upnp;
            config.https = https;
            config.certificate = pfx ? CertificateKind::Pfx : CertificateKind::SelfSigned;
            config.pfxPath = pfxPath;
            if (protectedPassword)
                config.pfxPassword = *protectedPassword;
            config.language = language;
            config.theme = theme;
            return true;
        },
        [this, alive, oldLanguage, oldTheme](const ConfigEditResult& result) {
            if (alive.lock())
                Applied(result, oldLanguage, oldTheme);
        });
}

void SettingsPage::Applied(const ConfigEditResult& result, const std::u16string& oldLanguage,
                           const std::u16string& oldTheme) {
    m_applying = false;
    const Config config = Context().commands.Current();
    Trace("settings applied port=" + std::to_string(config.port) + (config.https ? " https" : ""));

    // The window and the program may rebuild the window, and this page with it.
    std::weak_ptr<bool> alive = Alive();
    PageContext& context = Context();
    if (context.settingsApplied)
        context.settingsApplied();
    if (alive.lock() && (config.language != oldLanguage || config.theme != oldTheme) &&
        context.lookChanged)
        context.lookChanged();
    if (!alive.lock())
        return;
    ShowStatus(Text(result.saved ? TextId::SettingsSaved : TextId::SettingsNotSaved, m_language),
               result.saved);
    if (m_form.pfxPassword)
        m_form.pfxPassword->SetText({});
    // An error card above the page may have pushed Apply down: the outcome
    // shows where the user looks. A new look rebuilds the page later; the
    // new one takes the place and the outcome over.
    m_revealFooter = true;
    InvalidateArrange();
    if (config.language != oldLanguage || config.theme != oldTheme)
        context.settingsOutcome =
            PageContext::SettingsOutcome{m_scroller ? m_scroller->Offset().y : 0, result.saved};
}

void SettingsPage::UpdateCertificateInfo(const ServiceStatus& status) {
    if (!m_certInfoHost)
        return;
    const Config config = Context().commands.Current();
    const bool shown =
        status.state == ServiceStatus::Running && status.https && !status.thumbprint.empty();
    const bool pfx = config.certificate == CertificateKind::Pfx;
    std::u16string signature;
    if (shown)
        signature =
            status.thumbprint + (pfx ? u"|p" : u"|s") + (IsKorean(m_language) ? u"|ko" : u"|en");
    if (signature == m_certSignature)
        return;
    m_certSignature = signature;
    m_certInfoHost->ClearChildren();
    if (!shown)
        return;
    m_certInfoHost->SetMargin(kCertInfoMargin);
    m_certInfoHost->Add(std::make_unique<Separator>());
    auto title =
        m_certInfoHost->Add(std::make_unique<Stack>(Orientation::Horizontal, kCertTitleSpacing));
    title->SetMargin(kCertInfoMargin);
    auto icon = title->Add(std::make_unique<Icon>(Glyph::kLock, kCertIconSize, Tone::Secondary));
    icon->SetVerticalAlignment(Alignment::Center);
    auto heading = title->Add(MakeLabel(Text(TextId::CertificateFingerprint, m_language),
                                        TextStyle::Caption, Tone::Secondary));
    heading->SetBold(true);
    heading->SetVerticalAlignment(Alignment::Center);
    auto fingerprint = m_certInfoHost->Add(
        MakeLabel(Velto::Corvane::FormatFingerprint(status.thumbprint), TextStyle::Caption));
    fingerprint->SetWrap(true);
    fingerprint->SetAutomationId(u"settings.fingerprint");
    if (!pfx) {
        auto warning = m_certInfoHost->Add(MakeLabel(Text(TextId::SelfSignedWarning, m_language),
                                                     TextStyle::Caption, Tone::Secondary));
        warning->SetWrap(true);
    }
}

} // namespace App
