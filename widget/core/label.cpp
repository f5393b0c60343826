#include "widget/core/label.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

// A layout built for a width within this of the one needed is kept: the
// widest line of a wrapped layout must not wrap again at its own width.
constexpr float kWidthSlack = 0.05f;

} // namespace

TextFormat FormatForStyle(const Theme& theme, TextStyle style, bool bold) {
    TextFormat format;
    switch (style) {
    case TextStyle::Body:
        format.size = theme.bodySize;
        break;
    case TextStyle::Caption:
        format.size = theme.captionSize;
        break;
    case TextStyle::Subtitle:
        format.size = theme.subtitleSize;
        format.weight = kWeightSemibold;
        break;
    case TextStyle::Display:
        format.size = Label::kDisplaySize;
        format.weight = kWeightSemibold;
        break;
    }
    if (bold)
        format.weight = kWeightSemibold;
    return format;
}

void Label::DropTextLayouts() {
    m_current = nullptr;
    m_natural.reset();
    m_bounded.reset();
}

void Label::ParseAccessKey() {
    m_shown.clear();
    m_accessKey = 0;
    m_underline.reset();
    for (std::size_t i = 0; i < m_text.size(); ++i) {
        if (m_text[i] != u'&') {
            m_shown.push_back(m_text[i]);
            continue;
        }
        if (++i >= m_text.size())
            break; // a trailing mark marks nothing
        if (m_text[i] != u'&' && m_accessKey == 0) {
            m_accessKey = m_text[i];
            m_underline = m_shown.size();
        }
        m_shown.push_back(m_text[i]);
    }
}

namespace {

// The first widget at or after `from` in the subtree of `root` (pre-order)
// that can take focus, once `from` has been passed.
Widget* NextFocusable(Widget& root, const Widget& from, bool& passed) {
    if (!root.IsVisible() || !root.IsEnabled())
        return nullptr;
    if (&root == &from)
        passed = true;
    else if (passed && root.CanFocus())
        return &root;
    for (const auto& child : root.Children())
        if (Widget* found = NextFocusable(*child, from, passed))
            return found;
    return nullptr;
}

} // namespace

void Label::OnAccessKey() {
    if (m_target != nullptr) {
        m_target->RequestFocus(true);
        return;
    }
    Widget* scope = Parent() != nullptr ? Parent() : this;
    bool passed = false;
    if (Widget* next = NextFocusable(*scope, *this, passed))
        next->RequestFocus(true);
}

void Label::TextChanged() {
    DropTextLayouts();
    InvalidateMeasure();
}

void Label::SetText(std::u16string text) {
    if (m_text == text)
        return;
    m_text = std::move(text);
    ParseAccessKey();
    TextChanged();
}

void Label::SetStyle(TextStyle style) {
    if (m_style == style)
        return;
    m_style = style;
    TextChanged();
}

void Label::SetTone(Tone tone) {
    if (m_tone == tone)
        return;
    m_tone = tone;
    RequestRedraw();
}

void Label::SetBold(bool bold) {
    if (m_bold == bold)
        return;
    m_bold = bold;
    TextChanged();
}

void Label::SetWrap(bool wrap) {
    if (m_wrap == wrap)
        return;
    m_wrap = wrap;
    TextChanged();
}

void Label::SetTrimming(bool trimming) {
    if (m_trimming == trimming)
        return;
    m_trimming = trimming;
    TextChanged();
}

void Label::SetAlignment(TextAlignment alignment) {
    if (m_alignment == alignment)
        return;
    m_alignment = alignment;
    TextChanged();
}

bool Label::NeedsWidth() const {
    return m_wrap || m_trimming || m_alignment != TextAlignment::Leading;
}

std::unique_ptr<TextLayout> Label::Build(float maxWidth) const {
    TextOptions options;
    options.alignment = m_alignment;
    options.wrapping = m_wrap ? TextWrapping::Wrap : TextWrapping::None;
    options.trimming = m_trimming ? TextTrimming::CharacterEllipsis : TextTrimming::None;
    return std::make_unique<TextLayout>(m_shown, FormatForStyle(GetTheme(), m_style, m_bold),
                                        options, maxWidth);
}

void Label::EnsureLayout(float maxWidth) {
    // Leading text that fits on its natural lines looks the same at any
    // width, wrapped or trimmed; other alignments place lines in the width.
    if (m_alignment == TextAlignment::Leading) {
        if (!m_natural)
            m_natural = Build(TextLayout::kUnbounded);
        if (!NeedsWidth() || m_natural->Size().width <= maxWidth) {
            m_current = m_natural.get();
            return;
        }
    }
    if (m_bounded) {
        const float built = m_bounded->MaxWidth();
        if (built == maxWidth || (std::isfinite(built) && std::isfinite(maxWidth) &&
                                  std::fabs(built - maxWidth) <= kWidthSlack)) {
            m_current = m_bounded.get();
            return;
        }
    }
    m_bounded = Build(maxWidth);
    m_current = m_bounded.get();
}

SizeF Label::MeasureOverride(SizeF available) {
    EnsureLayout(available.width);
    return m_current->Size();
}

void Label::ArrangeOverride(SizeF finalSize) {
    // A layout that aligns or trims works inside the arranged width; a
    // wrapped one keeps the lines it was measured with.
    if (m_alignment != TextAlignment::Leading || m_trimming)
        EnsureLayout(finalSize.width + kWidthSlack);
}

void Label::Draw(Canvas& canvas) {
    if (m_current == nullptr)
        return;
    const Theme& theme = GetTheme();
    const Color color = IsEnabled() ? ToneColor(theme, m_tone) : theme.textTertiary;
    canvas.DrawTextLayout(*m_current, PointF{0, 0}, color);
    if (!m_underline || GetHost() == nullptr || !GetHost()->AccessKeyCuesShown())
        return;
    const RectF start = m_current->CaretRect(*m_underline);
    const RectF end = m_current->CaretRect(*m_underline + 1);
    const float thickness = canvas.Hairline();
    const PointF offset = m_current->DrawOffset();
    canvas.FillRect(RectF{offset.x + start.x, offset.y + start.Bottom() - 2 * thickness,
                          std::max(thickness, end.x - start.x), thickness},
                    color);
}

} // namespace Velto::Widget
