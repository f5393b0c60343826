#include "app/desktop/links/link_address_view.h"

#include "app/desktop/qr/qr_view.h"
#include "app/desktop/window_cards.h"
#include "app/desktop/window_glyphs.h"
#include "app/texts/text_table.h"
#include "widget/controls/button.h"
#include "widget/core/grid.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;

namespace {

constexpr float kSpacing = 12;
// The copy button says "Copied" this long.
constexpr double kCopyFeedbackSeconds = 2.0;

std::unique_ptr<Widget> BuildAddressRow(const std::u16string& address, UiLanguage language,
                                        CopyText copy) {
    auto row = std::make_unique<Grid>();
    row->AddColumn(GridLength::Star());
    row->AddColumn(GridLength::Auto());
    row->AddRow(GridLength::Auto());
    row->SetSpacing(0, kSpacing);
    auto shown = MakeLabel(address, TextStyle::Body, Tone::Accent);
    shown->SetBold(true);
    shown->SetTrimming(true);
    shown->SetVerticalAlignment(Alignment::Center);
    shown->SetAccessibleName(address);
    shown->SetAutomationId(u"link.address");
    row->AddAt(std::move(shown), 0, 0);

    auto button = std::make_unique<Button>(Text(TextId::Copy, language));
    button->SetIcon(Glyph::kCopy);
    button->SetAlternateTexts({Text(TextId::Copied, language)});
    button->SetAutomationId(u"link.copy");
    Button* raw = button.get();
    raw->SetOnClick([raw, address, language, copy = std::move(copy)] {
        if (!copy || !copy(address))
            return;
        raw->SetText(Text(TextId::Copied, language));
        raw->SetIcon(Glyph::kCheckMark);
        raw->StartTimer(
            kCopyFeedbackSeconds,
            [raw, language] {
                raw->SetText(Text(TextId::Copy, language));
                raw->SetIcon(Glyph::kCopy);
            },
            false);
    });
    row->AddAt(std::move(button), 0, 1);
    return row;
}

} // namespace

std::unique_ptr<Widget> BuildLinkAddressView(const std::u16string& intro,
                                             const std::u16string& address, UiLanguage language,
                                             CopyText copy) {
    auto stack = std::make_unique<Stack>(Orientation::Vertical, kSpacing);
    if (!intro.empty()) {
        auto line = stack->Add(MakeLabel(intro));
        line->SetWrap(true);
    }
    if (address.empty()) {
        stack->AddChild(
            MakeInfoLine(InfoLine{Glyph::kInfo, Tone::Secondary,
                                  Text(TextId::LinkAddressWhenServerOn, language), Tone::Primary}));
        return stack;
    }
    stack->AddChild(BuildAddressRow(address, language, std::move(copy)));
    auto code = stack->Add(std::make_unique<QrView>(kLinkQrSize));
    code->SetText(address);
    code->SetHorizontalAlignment(Alignment::Center);
    auto hint = stack->Add(
        MakeLabel(Text(TextId::ScanWithPhone, language), TextStyle::Caption, Tone::Secondary));
    hint->SetWrap(true);
    hint->SetAlignment(TextAlignment::Center);
    return stack;
}

} // namespace App
