#include "widget/controls/control_looks.h"

namespace Velto::Widget {
namespace {

constexpr float kPressedOnAccentAlpha = 0.8f;

Color StandardFill(const Theme& t, const VisualState& s) {
    if (!s.enabled)
        return t.controlFillDisabled;
    if (s.pressed)
        return t.controlFillPressed;
    return s.hovered ? t.controlFillHover : t.controlFill;
}

Color AccentFill(const Theme& t, const VisualState& s) {
    if (!s.enabled)
        return t.accentDisabled;
    if (s.pressed)
        return t.accentPressed;
    return s.hovered ? t.accentHover : t.accent;
}

Color StandardForeground(const Theme& t, const VisualState& s) {
    if (!s.enabled)
        return t.textTertiary;
    return s.pressed ? t.textSecondary : t.textPrimary;
}

Color OnAccentForeground(const Theme& t, const VisualState& s, bool dimWhenPressed) {
    if (!s.enabled)
        return t.textOnAccentDisabled;
    if (s.pressed && dimWhenPressed)
        return t.textOnAccent.WithAlpha(t.textOnAccent.a * kPressedOnAccentAlpha);
    return t.textOnAccent;
}

} // namespace

ControlColors ButtonColors(const Theme& t, ButtonStyle style, const VisualState& s) {
    if (s.checked) {
        if (style == ButtonStyle::Subtle)
            return {s.enabled ? t.subtleFillPressed : kTransparent, kTransparent,
                    s.enabled ? t.accent : t.textTertiary};
        return {AccentFill(t, s), kTransparent, OnAccentForeground(t, s, false)};
    }
    if (style == ButtonStyle::Accent || (style == ButtonStyle::Standard && s.isDefault))
        return {AccentFill(t, s), kTransparent, OnAccentForeground(t, s, true)};
    if (style == ButtonStyle::Subtle) {
        Color fill = kTransparent;
        if (s.enabled && s.pressed)
            fill = t.subtleFillPressed;
        else if (s.enabled && s.hovered)
            fill = t.subtleFillHover;
        return {fill, kTransparent, StandardForeground(t, s)};
    }
    return {StandardFill(t, s), s.enabled ? t.controlStroke : t.controlStrokeDisabled,
            StandardForeground(t, s)};
}

ControlColors CheckBoxColors(const Theme& t, CheckState check, const VisualState& s) {
    if (check == CheckState::Unchecked)
        return {StandardFill(t, s), s.enabled ? t.controlStrongStroke : t.controlStrokeDisabled,
                kTransparent};
    return {AccentFill(t, s), kTransparent, OnAccentForeground(t, s, false)};
}

ControlColors SwitchColors(const Theme& t, bool on, const VisualState& s) {
    if (!on)
        return {StandardFill(t, s), s.enabled ? t.controlStrongStroke : t.controlStrokeDisabled,
                s.enabled ? t.textSecondary : t.textTertiary};
    return {AccentFill(t, s), kTransparent, OnAccentForeground(t, s, false)};
}

} // namespace Velto::Widget
