#include "widget/controls/button.h"

#include "widget/controls/access_text.h"
#include "widget/render/canvas.h"
#include "widget/render/text_layout.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

Button::Button(std::u16string text, std::int32_t dialogResult) : ButtonBase(std::move(text)) {
    SetDialogResult(dialogResult);
}

SizeF Button::MeasureOverride(SizeF available) {
    const Theme& theme = GetTheme();
    const float padding = 2 * theme.controlPaddingX;
    const float icon = IconSize();
    const bool hasText = !ParsedText().shown.empty();
    const float gap = icon > 0 && hasText ? kContentGap : 0;
    const float chevron = HasDropDown() ? kDropDownReserve : 0;
    const float maxText = std::isinf(available.width)
                              ? TextLayout::kUnbounded
                              : std::max(0.0f, available.width - padding - icon - gap - chevron);
    const TextLayout* layout = TextLayoutFor(maxText);
    const SizeF text = layout != nullptr ? layout->Size() : SizeF{};
    const float height =
        std::max(std::max(icon, text.height) + kVerticalPadding, theme.controlHeight);
    const float textWidth = std::max(text.width, AlternateTextWidth());
    const float width = std::max(kMinButtonSize, textWidth + icon + gap + chevron + padding);
    return SizeF{width, height};
}

void Button::SetAlternateTexts(std::vector<std::u16string> texts) {
    m_alternateTexts = std::move(texts);
    m_alternateWidth.reset();
    InvalidateMeasure();
}

void Button::OnThemeChanged() {
    ButtonBase::OnThemeChanged();
    m_alternateWidth.reset();
}

float Button::AlternateTextWidth() {
    if (!m_alternateWidth) {
        TextFormat format;
        format.size = GetTheme().bodySize;
        format.weight = kWeightRegular;
        float widest = 0;
        for (const std::u16string& text : m_alternateTexts) {
            const TextLayout layout(ParseAccessText(text).shown, format, TextOptions{});
            widest = std::max(widest, layout.Size().width);
        }
        m_alternateWidth = widest;
    }
    return *m_alternateWidth;
}

void Button::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const ControlColors colors = ColorsForDraw();
    const RectF box{0, 0, ActualWidth(), ActualHeight()};
    canvas.FillRoundedRect(box, theme.controlCornerRadius, colors.fill);
    if (colors.outline.a > kMinOutlineAlpha) {
        const float hairline = canvas.Hairline();
        const RectF inner{hairline / 2, hairline / 2, box.width - hairline, box.height - hairline};
        canvas.StrokeRoundedRect(inner, theme.controlCornerRadius, colors.outline, hairline);
    }
    const float reserve = HasDropDown() ? kDropDownReserve : 0;
    const float icon = IconSize();
    const bool hasText = !ParsedText().shown.empty();
    const float gap = icon > 0 && hasText ? kContentGap : 0;
    const float textRoom =
        std::max(0.0f, box.width - 2 * theme.controlPaddingX - icon - gap - reserve);
    const TextLayout* layout = hasText ? TextLayoutFor(textRoom) : nullptr;
    const float textWidth = layout != nullptr ? std::min(layout->Size().width, textRoom) : 0;
    const float content = icon + gap + textWidth;
    const float left = canvas.SnapToPixels(RectF{(box.width - reserve - content) / 2, 0, 1, 1}).x;
    if (icon > 0)
        canvas.DrawIconGlyph(IconGlyph(), PointF{left, (box.height - icon) / 2}, icon,
                             colors.foreground);
    if (layout != nullptr) {
        const float y = (box.height - layout->Size().height) / 2;
        DrawText(canvas, *layout, PointF{left + icon + gap, y}, colors.foreground);
    }
    if (HasDropDown())
        canvas.DrawIconGlyph(DropDownGlyph(),
                             PointF{box.width - theme.controlPaddingX - kDropDownGlyphSize,
                                    (box.height - kDropDownGlyphSize) / 2},
                             kDropDownGlyphSize, colors.foreground);
}

} // namespace Velto::Widget
