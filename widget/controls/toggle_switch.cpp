#include "widget/controls/toggle_switch.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

ToggleSwitch::ToggleSwitch(std::u16string text) : ButtonBase(std::move(text)) {}

void ToggleSwitch::SetOn(bool on) {
    if (on == m_on)
        return;
    m_on = on;
    m_knob.AnimateTo(on ? 1 : 0, GetTheme().transitionSeconds, Easing::CubicOut);
    UpdateColors();
}

void ToggleSwitch::OnClicked() {
    SetOn(!m_on);
    RaiseAccessibilityEvent(AccessibilityEvent::ToggleChanged);
    if (m_onChange)
        m_onChange(m_on);
    RunClickCallback();
}

float ToggleSwitch::KnobRadius() const {
    return kKnobRadius + std::min(m_growth.Value(), 1.0f);
}

void ToggleSwitch::UpdateKnobGrowth() {
    const float target = IsPressed() ? 2.0f : IsHovered() ? 1.0f : 0.0f;
    m_growth.AnimateTo(target, GetTheme().transitionSeconds, Easing::CubicOut);
}

void ToggleSwitch::OnPointerEnter() {
    ButtonBase::OnPointerEnter();
    UpdateKnobGrowth();
}

void ToggleSwitch::OnPointerLeave() {
    ButtonBase::OnPointerLeave();
    UpdateKnobGrowth();
}

bool ToggleSwitch::OnPointerDown(const PointerEvent& event) {
    const bool handled = ButtonBase::OnPointerDown(event);
    UpdateKnobGrowth();
    return handled;
}

bool ToggleSwitch::OnPointerUp(const PointerEvent& event) {
    const bool handled = ButtonBase::OnPointerUp(event);
    UpdateKnobGrowth();
    return handled;
}

void ToggleSwitch::OnCaptureLost() {
    ButtonBase::OnCaptureLost();
    UpdateKnobGrowth();
}

bool ToggleSwitch::OnKeyDown(const KeyEvent& event) {
    const bool handled = ButtonBase::OnKeyDown(event);
    UpdateKnobGrowth();
    return handled;
}

bool ToggleSwitch::OnKeyUp(const KeyEvent& event) {
    const bool handled = ButtonBase::OnKeyUp(event);
    UpdateKnobGrowth();
    return handled;
}

ControlColors ToggleSwitch::ComputeColors(const VisualState& state) const {
    return SwitchColors(GetTheme(), m_on, state);
}

SizeF ToggleSwitch::MeasureOverride(SizeF available) {
    return MeasureGlyphAndText(available, GetTheme().switchWidth, kTextGap, kVerticalPadding);
}

void ToggleSwitch::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const ControlColors colors = ColorsForDraw();
    const float width = theme.switchWidth;
    const float height = theme.switchHeight;
    const RectF track = canvas.SnapToPixels(RectF{0, (ActualHeight() - height) / 2, width, height});
    canvas.FillRoundedRect(track, height / 2, colors.fill);
    if (colors.outline.a > kMinOutlineAlpha) {
        const float hairline = canvas.Hairline();
        canvas.StrokeRoundedRect(RectF{track.x + hairline / 2, track.y + hairline / 2,
                                       track.width - hairline, track.height - hairline},
                                 height / 2, colors.outline, hairline);
    }
    const float travel = width - 2 * kKnobInset;
    const PointF centre{track.x + kKnobInset + travel * KnobPosition(), track.y + height / 2};
    const float radius = KnobRadius();
    canvas.FillEllipse(centre, radius, radius, colors.foreground);
    const float room = std::max(0.0f, ActualWidth() - width - kTextGap);
    if (const TextLayout* layout = TextLayoutFor(room)) {
        const Color color = IsEnabled() ? theme.textPrimary : theme.textTertiary;
        DrawText(canvas, *layout,
                 PointF{width + kTextGap, (ActualHeight() - layout->Size().height) / 2}, color);
    }
}

} // namespace Velto::Widget
