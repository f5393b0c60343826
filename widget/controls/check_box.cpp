#include "widget/controls/check_box.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

void CheckBox::SetState(CheckState state) {
    if (state == CheckState::Indeterminate && !m_threeState)
        state = CheckState::Checked;
    if (state == m_state)
        return;
    m_state = state;
    UpdateColors();
    RaiseAccessibilityEvent(AccessibilityEvent::ToggleChanged);
}

void CheckBox::OnClicked() {
    CheckState next = CheckState::Unchecked;
    if (m_state == CheckState::Unchecked)
        next = CheckState::Checked;
    else if (m_state == CheckState::Checked && m_threeState)
        next = CheckState::Indeterminate;
    SetState(next);
    if (m_onChange)
        m_onChange(m_state);
    RunClickCallback();
}

ControlColors CheckBox::ComputeColors(const VisualState& state) const {
    return CheckBoxColors(GetTheme(), m_state, state);
}

SizeF CheckBox::MeasureOverride(SizeF available) {
    return MeasureGlyphAndText(available, GetTheme().checkBoxSize, kTextGap, kVerticalPadding);
}

RectF CheckBox::FocusBounds() {
    const float size = GetTheme().checkBoxSize;
    const float room = std::max(0.0f, ActualWidth() - size - kTextGap);
    const TextLayout* layout = TextLayoutFor(room);
    const float width =
        layout != nullptr ? size + kTextGap + std::ceil(layout->Size().width) : size;
    return RectF{0, 0, std::min(ActualWidth(), width), ActualHeight()};
}

void CheckBox::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const ControlColors colors = ColorsForDraw();
    const float size = theme.checkBoxSize;
    const RectF box = canvas.SnapToPixels(RectF{0, (ActualHeight() - size) / 2, size, size});
    canvas.FillRoundedRect(box, theme.controlCornerRadius, colors.fill);
    if (colors.outline.a > kMinOutlineAlpha) {
        const float hairline = canvas.Hairline();
        canvas.StrokeRoundedRect(RectF{box.x + hairline / 2, box.y + hairline / 2,
                                       box.width - hairline, box.height - hairline},
                                 theme.controlCornerRadius, colors.outline, hairline);
    }
    if (m_state == CheckState::Checked) {
        canvas.DrawIconGlyph(
            kCheckGlyph,
            PointF{box.x + (size - kCheckGlyphSize) / 2, box.y + (size - kCheckGlyphSize) / 2},
            kCheckGlyphSize, colors.foreground);
    } else if (m_state == CheckState::Indeterminate) {
        canvas.FillRoundedRect(RectF{box.x + (size - kBarWidth) / 2,
                                     box.y + (size - kBarHeight) / 2, kBarWidth, kBarHeight},
                               kBarRadius, colors.foreground);
    }
    const float room = std::max(0.0f, ActualWidth() - size - kTextGap);
    if (const TextLayout* layout = TextLayoutFor(room)) {
        const Color color = IsEnabled() ? theme.textPrimary : theme.textTertiary;
        DrawText(canvas, *layout,
                 PointF{size + kTextGap, (ActualHeight() - layout->Size().height) / 2}, color);
    }
}

} // namespace Velto::Widget
