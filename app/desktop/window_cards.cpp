#include "app/desktop/window_cards.h"

#include "app/desktop/window_glyphs.h"
#include "app/texts/text_table.h"
#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;

namespace {

constexpr float kCardRadius = 8;
constexpr float kInfoIconSize = 16;
constexpr float kInfoSpacing = 10;
constexpr float kTagIconSize = 12;
constexpr float kTagRadius = 4;
constexpr float kFailureIconSize = 20;
constexpr float kReachabilitySpacing = 6;

} // namespace

std::unique_ptr<Border> MakeCard(const Thickness& padding) {
    auto card = std::make_unique<Border>();
    card->SetBackground(BorderBackground::CardBackground);
    card->SetOutline(BorderOutline::Divider, 1);
    card->SetCornerRadius(kCardRadius);
    card->SetPadding(padding);
    return card;
}

std::unique_ptr<Label> MakeLabel(std::u16string text, TextStyle style, Tone tone) {
    auto label = std::make_unique<Label>(std::move(text), style);
    label->SetTone(tone);
    return label;
}

std::unique_ptr<Widget> MakeInfoLine(const InfoLine& line) {
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Star());
    grid->AddRow(GridLength::Auto());
    grid->SetSpacing(0, kInfoSpacing);
    auto icon = std::make_unique<Icon>(line.glyph, kInfoIconSize, line.iconTone);
    icon->SetVerticalAlignment(Alignment::Start);
    icon->SetMargin(Thickness{0, 2, 0, 0});
    grid->AddAt(std::move(icon), 0, 0);
    auto text = MakeLabel(line.text, TextStyle::Body, line.textTone);
    text->SetWrap(true);
    grid->AddAt(std::move(text), 0, 1);
    return grid;
}

std::unique_ptr<Widget> MakeTag(char32_t glyph, std::u16string text) {
    auto stack = std::make_unique<Stack>(Orientation::Horizontal, 4);
    if (glyph != 0) {
        auto icon = stack->Add(std::make_unique<Icon>(glyph, kTagIconSize, Tone::Secondary));
        icon->SetVerticalAlignment(Alignment::Center);
    }
    auto label = stack->Add(MakeLabel(std::move(text), TextStyle::Caption, Tone::Secondary));
    label->SetVerticalAlignment(Alignment::Center);
    auto border = std::make_unique<Border>();
    border->SetOutline(BorderOutline::Control, 1);
    border->SetCornerRadius(kTagRadius);
    border->SetPadding(Thickness{8, 2, 8, 3});
    border->SetVerticalAlignment(Alignment::Center);
    border->AddChild(std::move(stack));
    return border;
}

std::unique_ptr<Widget> MakeFailureCard(std::u16string message, UiLanguage language) {
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Star());
    grid->AddRow(GridLength::Auto());
    grid->SetSpacing(0, 12);
    auto icon = std::make_unique<Icon>(Glyph::kError, kFailureIconSize, Tone::Critical);
    icon->SetVerticalAlignment(Alignment::Start);
    grid->AddAt(std::move(icon), 0, 0);
    auto texts = std::make_unique<Stack>(Orientation::Vertical, 4);
    auto title = texts->Add(MakeLabel(Text(TextId::ServerDidNotStart, language)));
    title->SetBold(true);
    auto detail = texts->Add(MakeLabel(std::move(message)));
    detail->SetWrap(true);
    grid->AddAt(std::move(texts), 0, 1);
    auto card = MakeCard(Thickness{16, 12, 16, 12});
    card->AddChild(std::move(grid));
    return card;
}

std::unique_ptr<Widget> MakeReachabilityStack(const Reachability& reachability) {
    auto stack = std::make_unique<Stack>(Orientation::Vertical, kReachabilitySpacing);
    for (const InfoLine& line : reachability.lines)
        stack->AddChild(MakeInfoLine(line));
    for (const std::u16string& help : reachability.manualHelp) {
        auto label = stack->Add(MakeLabel(help, TextStyle::Body, Tone::Secondary));
        label->SetWrap(true);
    }
    return stack;
}

} // namespace App
