#include "app/desktop/shares/share_list_view.h"

#include "app/desktop/shares/share_list_edits.h"
#include "app/desktop/window_cards.h"
#include "app/desktop/window_glyphs.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/image.h"
#include "widget/core/scroll_viewer.h"
#include "widget/core/separator.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::AccessFlags;
using Velto::Corvane::Share;

namespace {

constexpr float kShareIconSize = 32;
constexpr float kEmptyIconSize = 40;

std::unique_ptr<Widget> BuildEmptyState(UiLanguage language) {
    auto stack = std::make_unique<Stack>(Orientation::Vertical, 10);
    stack->SetVerticalAlignment(Alignment::Center);
    stack->SetMargin(Thickness{32, 24, 32, 24});
    auto icon =
        stack->Add(std::make_unique<Icon>(Glyph::kEmptyFolder, kEmptyIconSize, Tone::Secondary));
    icon->SetHorizontalAlignment(Alignment::Center);
    auto title = stack->Add(MakeLabel(Text(TextId::NothingSharedYet, language)));
    title->SetBold(true);
    title->SetHorizontalAlignment(Alignment::Center);
    auto how =
        stack->Add(MakeLabel(Text(TextId::HowToShare, language), TextStyle::Body, Tone::Secondary));
    how->SetWrap(true);
    how->SetAlignment(TextAlignment::Center);
    return stack;
}

std::unique_ptr<Widget> BuildTags(const Share& share, UiLanguage language) {
    auto tags = std::make_unique<Stack>(Orientation::Horizontal, 6);
    tags->SetVerticalAlignment(Alignment::Center);
    const AccessFlags guest = ListedGuestRights(share);
    tags->AddChild(MakeTag(0, guest == AccessFlags::None ? Text(TextId::ClosedToGuests, language)
                                                         : Format(TextId::GuestsAccess, language,
                                                                  {RightsText(guest, language)})));
    if (!share.password.empty())
        tags->AddChild(MakeTag(Glyph::kLock, Text(TextId::PasswordBadge, language)));
    if (share.readOnly && !share.file)
        tags->AddChild(MakeTag(0, Text(TextId::ReadOnly, language)));
    return tags;
}

std::unique_ptr<Widget> BuildRow(const Share& share, UiLanguage language,
                                 const ShareRowParts& parts) {
    auto row = std::make_unique<Grid>();
    row->AddColumn(GridLength::Auto());
    row->AddColumn(GridLength::Star());
    row->AddColumn(GridLength::Auto());
    row->AddColumn(GridLength::Auto());
    row->AddRow(GridLength::Auto());
    row->SetSpacing(0, 12);
    row->SetMargin(Thickness{16, 12, 8, 12});

    auto image = std::make_unique<Image>();
    image->SetWidth(kShareIconSize);
    image->SetHeight(kShareIconSize);
    image->SetStretch(Stretch::Uniform);
    image->SetVerticalAlignment(Alignment::Center);
    if (parts.icon)
        image->SetBitmap(parts.icon(share));
    row->AddAt(std::move(image), 0, 0);

    auto names = std::make_unique<Stack>(Orientation::Vertical, 2);
    names->SetVerticalAlignment(Alignment::Center);
    auto name = names->Add(MakeLabel(share.name));
    name->SetBold(true);
    name->SetTrimming(true);
    auto path = names->Add(MakeLabel(share.path, TextStyle::Caption, Tone::Secondary));
    path->SetTrimming(true);
    row->AddAt(std::move(names), 0, 1);

    row->AddAt(BuildTags(share, language), 0, 2);
    if (parts.buttons) {
        auto buttons = parts.buttons(share);
        buttons->SetVerticalAlignment(Alignment::Center);
        row->AddAt(std::move(buttons), 0, 3);
    }
    return row;
}

} // namespace

std::unique_ptr<Widget> BuildSharesView(const Velto::Corvane::Config& config, UiLanguage language,
                                        const ShareRowParts& parts) {
    if (config.shares.empty())
        return BuildEmptyState(language);
    auto rows = std::make_unique<Stack>(Orientation::Vertical, 0);
    for (std::size_t i = 0; i < config.shares.size(); ++i) {
        if (i > 0)
            rows->AddChild(std::make_unique<Separator>());
        rows->AddChild(BuildRow(config.shares[i], language, parts));
    }
    rows->AddChild(std::make_unique<Separator>());
    auto hint = rows->Add(
        MakeLabel(Text(TextId::DragToShareHint, language), TextStyle::Caption, Tone::Secondary));
    hint->SetWrap(true);
    hint->SetAlignment(TextAlignment::Center);
    hint->SetMargin(Thickness{16, 12, 16, 16});
    auto scroller = std::make_unique<ScrollViewer>();
    scroller->SetScrollModes(ScrollMode::Scrollable, ScrollMode::Disabled);
    scroller->SetContent(std::move(rows));
    return scroller;
}

} // namespace App
