#pragma once

#include "app/desktop/home/reachability.h"
#include "app/texts/ui_language.h"
#include "widget/core/border.h"
#include "widget/core/label.h"

#include <memory>
#include <string>

namespace App {

// The window's card: the card background, a divider outline and round
// corners around one child.
std::unique_ptr<Velto::Widget::Border> MakeCard(const Velto::Widget::Thickness& padding);

// A label in one go, the way the window's pages use them.
std::unique_ptr<Velto::Widget::Label>
MakeLabel(std::u16string text, Velto::Widget::TextStyle style = Velto::Widget::TextStyle::Body,
          Velto::Widget::Tone tone = Velto::Widget::Tone::Primary);

// An icon beside a wrapped text.
std::unique_ptr<Velto::Widget::Widget> MakeInfoLine(const InfoLine& line);

// A small outlined tag of a caption, with an optional icon before it.
std::unique_ptr<Velto::Widget::Widget> MakeTag(char32_t glyph, std::u16string text);

// The card under the header that says the server did not start, and why.
std::unique_ptr<Velto::Widget::Widget> MakeFailureCard(std::u16string message, UiLanguage language);

// The reachability lines followed by the manual forwarding help.
std::unique_ptr<Velto::Widget::Widget> MakeReachabilityStack(const Reachability& reachability);

} // namespace App
