#include "app/desktop/home/home_page.h"

#include "app/desktop/home/address_list.h"
#include "app/desktop/home/reachability.h"
#include "app/desktop/links/link_actions.h"
#include "app/desktop/service_commands.h"
#include "app/desktop/shares/share_actions.h"
#include "app/desktop/shares/share_list_view.h"
#include "app/desktop/window_cards.h"
#include "app/desktop/window_glyphs.h"
#include "app/desktop/window_services.h"
#include "app/texts/text_table.h"
#include "app/usage/usage_stats.h"
#include "base/utf.h"
#include "server/http/percent_coding.h"
#include "widget/controls/button.h"
#include "widget/core/border.h"
#include "widget/core/grid.h"
#include "widget/core/separator.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::ServiceStatus;
using Velto::Corvane::Share;

namespace {

constexpr Thickness kCardPadding{16, 10, 12, 10};

std::unique_ptr<Button> MakeButton(std::u16string text, char32_t glyph, ButtonStyle style,
                                   std::u16string automationId = {}) {
    auto button = std::make_unique<Button>(std::move(text));
    button->SetIcon(glyph);
    button->SetStyle(style);
    if (!automationId.empty())
        button->SetAutomationId(std::move(automationId));
    return button;
}

std::unique_ptr<Button> MakeIconButton(char32_t glyph, const std::u16string& tip,
                                       std::u16string automationId = {}) {
    auto button = MakeButton({}, glyph, ButtonStyle::Subtle, std::move(automationId));
    button->SetTooltip(tip);
    button->SetAccessibleName(tip);
    return button;
}

// The address of one share inside the web pages: the server address, "/#/"
// and the share's name percent-encoded, slashes included.
std::u16string ShareAddress(const std::u16string& serverAddress, const Share& share) {
    return serverAddress + u"/#/" +
           Velto::Utf8ToUtf16(Velto::Corvane::PercentEncode(Velto::Utf16ToUtf8(share.name), true));
}

} // namespace

HomePage::HomePage(PageContext& context, AddressChoice& choice)
    : Page(context), m_language(context.language), m_choice(choice) {
    AddChild(Build());
    FillShares(context.commands.Current());
}

void HomePage::ShareFolder() {
    // The window's context outlives the page, which the picker's loop may end.
    PageContext& context = Context();
    if (!context.services.pickFolder)
        return;
    if (auto folder = context.services.pickFolder(Text(TextId::ChooseFolderTitle, m_language)))
        context.shares.AddPaths({*folder});
}

void HomePage::ShareFiles() {
    PageContext& context = Context();
    if (!context.services.pickFiles)
        return;
    auto files = context.services.pickFiles(Text(TextId::ChooseFilesTitle, m_language));
    if (!files.empty())
        context.shares.AddPaths(files);
}

void HomePage::ShowQr() {
    ReportFeature("show_qr");
    if (m_shownAddress.empty() || !Context().services.showQr)
        return;
    Context().services.showQr(m_shownAddress);
}

std::unique_ptr<Widget> HomePage::Build() {
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Star());
    grid->AddRow(GridLength::Auto());
    grid->AddRow(GridLength::Star());
    grid->SetSpacing(12, 0);
    grid->SetMargin(Thickness{24, 16, 24, 12});

    auto addressCard = MakeCard(kCardPadding);
    m_cardStack = addressCard->Add(std::make_unique<Stack>(Orientation::Vertical, 10));
    grid->AddAt(std::move(addressCard), 0, 0);

    auto sharesCard = MakeCard(kCardPadding);
    auto sharesGrid = std::make_unique<Grid>();
    sharesGrid->AddColumn(GridLength::Star());
    sharesGrid->AddRow(GridLength::Auto());
    sharesGrid->AddRow(GridLength::Auto());
    sharesGrid->AddRow(GridLength::Star());

    auto heading = std::make_unique<Grid>();
    heading->AddColumn(GridLength::Star());
    heading->AddColumn(GridLength::Auto());
    heading->AddRow(GridLength::Auto());
    heading->SetSpacing(0, 12);
    auto title = MakeLabel(Text(TextId::SharedFoldersAndFiles, m_language));
    title->SetBold(true);
    title->SetTrimming(true);
    title->SetVerticalAlignment(Alignment::Center);
    heading->AddAt(std::move(title), 0, 0);
    auto buttons = std::make_unique<Stack>(Orientation::Horizontal, 8);
    buttons->SetMargin(Thickness{0, 0, 0, 10});
    auto files = buttons->Add(MakeButton(Text(TextId::ShareFiles, m_language), Glyph::kAddFiles,
                                         ButtonStyle::Standard, u"share.addFiles"));
    files->SetOnClick([this] { Post([this] { ShareFiles(); }); });
    auto folder = buttons->Add(MakeButton(Text(TextId::ShareFolder, m_language), Glyph::kAdd,
                                          ButtonStyle::Accent, u"share.add"));
    folder->SetOnClick([this] { Post([this] { ShareFolder(); }); });
    heading->AddAt(std::move(buttons), 0, 1);
    sharesGrid->AddAt(std::move(heading), 0, 0);
    sharesGrid->AddAt(std::make_unique<Separator>(), 1, 0);
    m_sharesHost = sharesGrid->AddAt(std::make_unique<Border>(), 2, 0);
    sharesCard->AddChild(std::move(sharesGrid));
    grid->AddAt(std::move(sharesCard), 1, 0);
    return grid;
}

void HomePage::UpdateConnection(const ServiceStatus& status) {
    if (!m_cardStack)
        return;
    const bool webdav = Context().commands.Current().webdav;
    const std::u16string signature =
        ConnectionSignature(status, m_choice, m_language) + (webdav ? u"|dav" : u"");
    if (signature == m_signature)
        return;
    m_signature = signature;
    m_cardStack->ClearChildren();
    m_shownAddress.clear();

    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Star());
    grid->AddColumn(GridLength::Auto());
    grid->AddRow(GridLength::Auto());
    grid->SetSpacing(0, 12);
    auto buttons = std::make_unique<Stack>(Orientation::Horizontal, 6);
    buttons->SetVerticalAlignment(Alignment::Center);

    const bool running = status.state == ServiceStatus::Running;
    std::unique_ptr<Widget> reachability;
    if (!running) {
        auto off = MakeLabel(Text(TextId::ServerIsOff, m_language));
        off->SetVerticalAlignment(Alignment::Center);
        off->SetTrimming(true);
        grid->AddAt(std::move(off), 0, 0, 1, 2);
        auto start = buttons->Add(MakeButton(Text(TextId::StartServer, m_language), Glyph::kStart,
                                             ButtonStyle::Accent, u"home.start"));
        start->SetOnClick([this] {
            Post([this] {
                const bool alreadyRunning =
                    Context().commands.Status().state == ServiceStatus::Running;
                if (!alreadyRunning && Context().toggleServer)
                    Context().toggleServer();
            });
        });
    } else {
        m_localList = AddressList(status, AddressScope::Local);
        m_choice.lanIndex = ClampLanIndex(m_choice.lanIndex, m_localList.size());
        const std::u16string address = ChosenAddress(status, m_choice);
        if (!address.empty()) {
            m_shownAddress = address;
            auto shown = MakeLabel(address, TextStyle::Subtitle, Tone::Accent);
            shown->SetVerticalAlignment(Alignment::Center);
            shown->SetTrimming(true);
            shown->SetAccessibleName(address);
            grid->AddAt(std::move(shown), 0, 1);

            auto copy = buttons->Add(MakeButton(Text(TextId::Copy, m_language), Glyph::kCopy,
                                                ButtonStyle::Standard, u"address.copy"));
            copy->SetAlternateTexts({Text(TextId::Copied, m_language)});
            copy->SetOnClick([this, copy] {
                ReportFeature("copy_address");
                const auto& copyText = Context().services.copyText;
                if (!copyText || !copyText(m_shownAddress))
                    return;
                copy->SetText(Text(TextId::Copied, m_language));
                copy->SetIcon(Glyph::kCheckMark);
                copy->StartTimer(
                    kCopyFeedbackSeconds,
                    [this, copy] {
                        copy->SetText(Text(TextId::Copy, m_language));
                        copy->SetIcon(Glyph::kCopy);
                    },
                    false);
            });
            auto open = buttons->Add(
                MakeIconButton(Glyph::kOpenInBrowser, Text(TextId::OpenInBrowser, m_language)));
            open->SetOnClick([this] {
                ReportFeature("open_in_browser");
                if (Context().services.openAddress)
                    Context().services.openAddress(m_shownAddress);
            });
            auto qr = buttons->Add(
                MakeIconButton(Glyph::kQrCode, Text(TextId::QrCode, m_language), u"address.qr"));
            qr->SetOnClick([this] { Post([this] { ShowQr(); }); });
        } else if (m_choice.internetScope) {
            auto none = MakeLabel(Text(TextId::NoInternetAddress, m_language), TextStyle::Body,
                                  Tone::Secondary);
            none->SetVerticalAlignment(Alignment::Center);
            none->SetTrimming(true);
            grid->AddAt(std::move(none), 0, 1);
        } else {
            grid->AddAt(
                MakeInfoLine(InfoLine{Glyph::kWarning, Tone::Caution,
                                      Text(TextId::NoNetworkAddress, m_language), Tone::Primary}),
                0, 1);
        }

        const std::u16string& scopeText =
            Text(m_choice.internetScope ? TextId::Internet : TextId::ThisNetwork, m_language);
        auto scope = MakeButton(scopeText, 0, ButtonStyle::Standard, u"address.scope");
        scope->SetDropDown(true, Glyph::kDropDown);
        scope->SetAccessibleName(Text(TextId::Address, m_language) + u": " + scopeText);
        scope->SetTooltip(Text(TextId::WhereVisitorsConnectFrom, m_language));
        scope->SetVerticalAlignment(Alignment::Center);
        Button* scopeButton = scope.get();
        scope->SetOnClick([this, scopeButton] { ShowScopeMenu(*scopeButton); });
        grid->AddAt(std::move(scope), 0, 0);

        if (m_choice.internetScope)
            reachability = MakeReachabilityStack(ExplainReachability(status, m_language));
    }
    grid->AddAt(std::move(buttons), 0, 2);
    m_cardStack->AddChild(std::move(grid));
    if (running && webdav && !m_shownAddress.empty())
        m_cardStack->AddChild(BuildDavRow());
    if (reachability)
        m_cardStack->AddChild(std::move(reachability));
    // The share rows' copy buttons follow the address shown.
    FillShares(Context().commands.Current());
}

std::unique_ptr<Widget> HomePage::BuildDavRow() {
    const std::u16string address = m_shownAddress + u"/dav/";
    auto rows = std::make_unique<Stack>(Orientation::Vertical, 2);
    auto line = std::make_unique<Grid>();
    line->AddColumn(GridLength::Auto());
    line->AddColumn(GridLength::Star());
    line->AddColumn(GridLength::Auto());
    line->AddRow(GridLength::Auto());
    line->SetSpacing(0, 12);
    auto label =
        MakeLabel(Text(TextId::DavAddressLabel, m_language), TextStyle::Body, Tone::Secondary);
    label->SetVerticalAlignment(Alignment::Center);
    line->AddAt(std::move(label), 0, 0);
    auto shown = MakeLabel(address);
    shown->SetVerticalAlignment(Alignment::Center);
    shown->SetTrimming(true);
    shown->SetAccessibleName(address);
    line->AddAt(std::move(shown), 0, 1);
    auto copy = MakeIconButton(Glyph::kCopy, Text(TextId::Copy, m_language), u"address.davCopy");
    Button* copyButton = copy.get();
    copy->SetOnClick([this, copyButton, address] {
        const auto& copyText = Context().services.copyText;
        if (!copyText || !copyText(address))
            return;
        copyButton->SetIcon(Glyph::kCheckMark);
        copyButton->StartTimer(
            kCopyFeedbackSeconds, [copyButton] { copyButton->SetIcon(Glyph::kCopy); }, false);
    });
    line->AddAt(std::move(copy), 0, 2);
    rows->AddChild(std::move(line));
    // Basic sign-in over plain HTTP carries the password readably, as the
    // sign-in form does; the hint says so.
    std::u16string hint = Text(TextId::DavHint, m_language);
    if (address.starts_with(u"http://"))
        hint += u" " + Text(TextId::DavPlainHttp, m_language);
    // Wrapped, not cut: in a narrow or large-scale window the warning about
    // plain HTTP is the part that would be lost.
    auto hintLabel = MakeLabel(std::move(hint), TextStyle::Caption, Tone::Secondary);
    hintLabel->SetWrap(true);
    rows->AddChild(std::move(hintLabel));
    return rows;
}

void HomePage::ShowScopeMenu(Widget& anchor) {
    const auto& showMenu = Context().services.showMenu;
    if (!showMenu)
        return;
    showMenu(anchor, ScopeMenuItems(m_localList, m_choice, m_language), [this](std::uint32_t id) {
        Post([this, id] {
            m_choice = ChooseScopeItem(m_choice, id);
            UpdateConnection(Context().commands.Status());
        });
    });
}

void HomePage::FillShares(const Velto::Corvane::Config& config) {
    if (!m_sharesHost)
        return;
    m_sharesHost->ClearChildren();
    ShareRowParts parts;
    parts.buttons = [this](const Share& share) { return BuildShareButtons(share); };
    parts.icon = Context().services.shareIcon;
    m_sharesHost->AddChild(BuildSharesView(config, m_language, parts));
}

std::unique_ptr<Widget> HomePage::BuildShareButtons(const Share& share) {
    auto stack = std::make_unique<Stack>(Orientation::Horizontal, 2);
    const std::u16string& copyTip =
        Text(share.file ? TextId::CopyFileAddress : TextId::CopyFolderAddress, m_language);
    auto copy = stack->Add(MakeIconButton(Glyph::kLink, copyTip));
    copy->SetEnabled(!m_shownAddress.empty());
    copy->SetOnClick([this, copy, share] {
        const auto& copyText = Context().services.copyText;
        if (m_shownAddress.empty() || !copyText || !copyText(ShareAddress(m_shownAddress, share)))
            return;
        copy->SetIcon(Glyph::kCheckMark);
        copy->StartTimer(
            kCopyFeedbackSeconds, [copy] { copy->SetIcon(Glyph::kLink); }, false);
    });
    const std::string id = share.id;
    auto link = stack->Add(MakeIconButton(Glyph::kShareLink, Text(TextId::MakeLink, m_language),
                                          u"share.link." + Velto::Utf8ToUtf16(id)));
    link->SetOnClick([this, id] { Post([this, id] { MakeShareLink(Context(), id); }); });
    const std::u16string& openTip =
        Text(share.file ? TextId::OpenFileLocation : TextId::OpenFolder, m_language);
    auto open = stack->Add(MakeIconButton(Glyph::kOpenFolder, openTip));
    open->SetOnClick([this, share] {
        if (Context().services.openShareLocation)
            Context().services.openShareLocation(share);
    });
    auto edit = stack->Add(MakeIconButton(Glyph::kEdit, Text(TextId::Edit, m_language),
                                          u"share.edit." + Velto::Utf8ToUtf16(share.id)));
    edit->SetOnClick([this, id] { Post([this, id] { Context().shares.EditShare(id); }); });
    auto stop =
        stack->Add(MakeIconButton(Glyph::kStopSharing, Text(TextId::StopSharing, m_language)));
    stop->SetOnClick([this, id] { Post([this, id] { Context().shares.StopSharing(id); }); });
    return stack;
}

} // namespace App
