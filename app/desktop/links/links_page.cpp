#include "app/desktop/links/links_page.h"

#include "app/desktop/links/link_list_edits.h"
#include "app/desktop/links/link_texts.h"
#include "app/desktop/service_commands.h"
#include "app/desktop/shares/share_actions.h"
#include "app/desktop/table_page.h"
#include "app/desktop/window_glyphs.h"
#include "app/desktop/window_services.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "widget/controls/button.h"
#include "widget/core/stack.h"
#include "widget/list/list_view.h"

#include <algorithm>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::Config;
using Velto::Corvane::ShareLink;

namespace {

constexpr float kLabelWidth = 180;
constexpr float kTargetWidth = 180;
constexpr float kModeWidth = 200;
constexpr float kExpiresWidth = 210;
constexpr float kUsesWidth = 64;
constexpr char32_t kRevokeGlyph = 0xE74D;
// The copy button says "Copied" this long.
constexpr double kCopyFeedbackSeconds = 2.0;

} // namespace

bool LinksPage::Shown::operator==(const Shown& other) const {
    return link.id == other.link.id && link.label == other.link.label &&
           link.path == other.link.path && link.mode == other.link.mode &&
           link.expires == other.link.expires && link.uses == other.link.uses &&
           link.password.empty() == other.link.password.empty() && expired == other.expired &&
           target == other.target;
}

LinksPage::LinksPage(PageContext& context) : Page(context), m_language(context.language) {
    AddChild(Build());
}

// The list reads the rows it draws: it goes first.
LinksPage::~LinksPage() {
    ClearChildren();
}

std::unique_ptr<Widget> LinksPage::Build() {
    TablePage page =
        MakeTablePage(Text(TextId::Links, m_language), Text(TextId::LinksHint, m_language),
                      Text(TextId::NoLinks, m_language),
                      {{Text(TextId::LinkLabelHeader, m_language), kLabelWidth},
                       {Text(TextId::LinkTargetHeader, m_language), kTargetWidth},
                       {Text(TextId::LinkModeHeader, m_language), kModeWidth},
                       {Text(TextId::LinkExpiresHeader, m_language), kExpiresWidth},
                       {Text(TextId::LinkUsesHeader, m_language), kUsesWidth, true}},
                      m_table);
    m_list = page.list;

    m_copy = page.buttons->Add(
        MakePageButton(Text(TextId::Copy, m_language), Glyph::kCopy, false, u"links.copy"));
    m_copy->SetOnClick([this] { CopyAddress(); });
    m_qr = page.buttons->Add(
        MakePageButton(Text(TextId::QrCode, m_language), Glyph::kQrCode, false, u"links.qr"));
    // Dialogs open after the click has been handled: the page may be rebuilt
    // while one is open.
    m_qr->SetOnClick([this] { Post([this] { ShowQr(); }); });
    m_revoke = page.buttons->Add(
        MakePageButton(Text(TextId::Revoke, m_language), kRevokeGlyph, false, u"links.revoke"));
    m_revoke->SetOnClick([this] { Post([this] { Revoke(); }); });

    m_list->SetOnSelectionChanged([this](const Models::SelectionChange&) { UpdateButtons(); });
    m_list->SetOnRowActivated([this](std::int64_t row) {
        if (m_list && row >= 0 && row < m_list->Selection().RowCount())
            m_list->SelectOnly(row);
        Post([this] { ShowQr(); });
    });
    Fill();
    return std::move(page.root);
}

LinksPage::Signature LinksPage::SignatureNow() const {
    const Config config = Context().commands.Current();
    const std::int64_t now = LinkClockNow();
    Signature signature;
    for (const ShareLink& link : config.links)
        signature.rows.push_back(Shown{link, link.ExpiredAt(now), LinkTargetText(config, link)});
    signature.address = Context().shownAddress ? Context().shownAddress() : std::u16string{};
    return signature;
}

void LinksPage::Fill() {
    if (!m_list)
        return;
    const std::optional<ShareLink> selected = SelectedLink();
    const Config config = Context().commands.Current();
    const std::int64_t now = LinkClockNow();
    m_table.Clear();
    m_ids.clear();
    for (const ShareLink& link : config.links) {
        m_table.AddRow({LinkShownName(config, link), LinkTargetText(config, link),
                        LinkModeText(link, m_language), LinkExpiryText(link, now, m_language),
                        Velto::Utf8ToUtf16(std::to_string(link.uses))});
        m_ids.push_back(link.id);
    }
    m_shown = SignatureNow();
    m_list->Reload();
    if (selected) {
        const auto kept = std::find(m_ids.begin(), m_ids.end(), selected->id);
        if (kept != m_ids.end())
            m_list->SelectOnly(kept - m_ids.begin());
    }
    UpdateButtons();
}

void LinksPage::FillIfChanged() {
    if (m_list && SignatureNow() != m_shown)
        Fill();
}

void LinksPage::UpdateButtons() {
    const bool selected = SelectedLink().has_value();
    const bool hasAddress = !m_shown.address.empty();
    m_copy->SetEnabled(selected && hasAddress && static_cast<bool>(Context().services.copyText));
    m_qr->SetEnabled(selected && hasAddress);
    m_revoke->SetEnabled(selected);
}

std::optional<ShareLink> LinksPage::SelectedLink() const {
    if (!m_list)
        return std::nullopt;
    const std::int64_t row = m_list->Selection().FirstSelected();
    if (row < 0 || row >= static_cast<std::int64_t>(m_ids.size()))
        return std::nullopt;
    const Config config = Context().commands.Current();
    const ShareLink* link = config.FindLinkById(m_ids[static_cast<std::size_t>(row)]);
    if (!link)
        return std::nullopt;
    return *link;
}

void LinksPage::CopyAddress() {
    const std::optional<ShareLink> link = SelectedLink();
    const auto& copyText = Context().services.copyText;
    if (!link || !copyText || !Context().shownAddress)
        return;
    const std::u16string address = LinkAddress(Context().shownAddress(), *link);
    if (address.empty() || !copyText(address))
        return;
    m_copy->SetText(Text(TextId::Copied, m_language));
    m_copy->SetIcon(Glyph::kCheckMark);
    m_copy->StartTimer(
        kCopyFeedbackSeconds,
        [this] {
            m_copy->SetText(Text(TextId::Copy, m_language));
            m_copy->SetIcon(Glyph::kCopy);
        },
        false);
}

void LinksPage::ShowQr() {
    const std::optional<ShareLink> link = SelectedLink();
    const auto& showLink = Context().services.showLink;
    if (!link || !showLink || !Context().shownAddress)
        return;
    const std::u16string address = LinkAddress(Context().shownAddress(), *link);
    if (address.empty())
        return;
    showLink(Format(TextId::LinkDialogTitle, m_language,
                    {LinkShownName(Context().commands.Current(), *link)}),
             address);
}

void LinksPage::Revoke() {
    const std::optional<ShareLink> link = SelectedLink();
    if (!link)
        return;
    // The window's context outlives the page, which the question's loop may end.
    PageContext& context = Context();
    const std::weak_ptr<bool> alive = Alive();
    const auto& ask = context.services.ask;
    const std::u16string name = LinkShownName(context.commands.Current(), *link);
    if (!ask || !ask(Text(TextId::Revoke, m_language),
                     Format(TextId::ConfirmRevokeLink, m_language, {name})))
        return;
    const std::string id = link->id;
    context.shares.Apply([id](Config& edited) { return RevokeLink(edited, id); });
    if (alive.lock())
        Fill();
}

} // namespace App
