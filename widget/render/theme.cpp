#include "widget/render/theme.h"

namespace Velto::Widget {
namespace {

constexpr float kLightAccentFactor = 0.85f; // each channel darkened by 15 %
constexpr float kDarkAccentLighten = 0.35f; // 35 % of the way towards white
constexpr float kAccentHoverAlpha = 0.9f;
constexpr float kAccentPressedAlpha = 0.8f;

Color Darken(Color c) {
    return Color{c.r * kLightAccentFactor, c.g * kLightAccentFactor, c.b * kLightAccentFactor, 1};
}

Color Lighten(Color c) {
    auto up = [](float v) { return v + (1 - v) * kDarkAccentLighten; };
    return Color{up(c.r), up(c.g), up(c.b), 1};
}

} // namespace

Theme LightTheme(Color systemAccent) {
    Theme t;
    t.kind = ThemeKind::Light;
    t.windowBackground = Color::FromRgb8(243, 243, 243);
    t.cardBackground = White(0.7f);
    t.flyoutBackground = Color::FromRgb8(252, 252, 252);
    t.textPrimary = Black(0.896f);
    t.textSecondary = Black(0.606f);
    t.textTertiary = Black(0.361f);
    t.textPlaceholder = Black(0.606f);
    t.textOnAccent = White();
    t.accent = Darken(systemAccent);
    t.accentHover = t.accent.WithAlpha(kAccentHoverAlpha);
    t.accentPressed = t.accent.WithAlpha(kAccentPressedAlpha);
    t.accentDisabled = Black(0.22f);
    t.textOnAccentDisabled = White();
    t.controlFill = White(0.7f);
    t.controlFillHover = Color::FromRgb8(233, 233, 233, 0.85f);
    t.controlFillPressed = Color::FromRgb8(218, 218, 218, 0.85f);
    t.controlFillDisabled = Color::FromRgb8(249, 249, 249, 0.3f);
    t.controlStroke = Black(0.16f);
    t.controlStrongStroke = Black(0.447f);
    t.controlStrokeDisabled = Black(0.0578f);
    t.flyoutStroke = Black(0.2f);
    t.subtleFillHover = Black(0.075f);
    t.subtleFillPressed = Black(0.05f);
    t.dividerStroke = Black(0.0578f);
    t.focusStrokeOuter = Black(0.896f);
    t.focusStrokeInner = White();
    t.success = Color::FromRgb8(15, 123, 15);
    t.caution = Color::FromRgb8(157, 93, 0);
    t.critical = Color::FromRgb8(196, 43, 28);
    return t;
}

Theme DarkTheme(Color systemAccent) {
    Theme t;
    t.kind = ThemeKind::Dark;
    t.windowBackground = Color::FromRgb8(32, 32, 32);
    t.cardBackground = White(0.0538f);
    t.flyoutBackground = Color::FromRgb8(44, 44, 44);
    t.textPrimary = White();
    t.textSecondary = White(0.786f);
    t.textTertiary = White(0.363f);
    t.textPlaceholder = White(0.55f);
    t.textOnAccent = Black();
    t.accent = Lighten(systemAccent);
    t.accentHover = t.accent.WithAlpha(kAccentHoverAlpha);
    t.accentPressed = t.accent.WithAlpha(kAccentPressedAlpha);
    t.accentDisabled = White(0.158f);
    t.textOnAccentDisabled = White(0.53f);
    t.controlFill = White(0.0605f);
    t.controlFillHover = White(0.0837f);
    t.controlFillPressed = White(0.0326f);
    t.controlFillDisabled = White(0.0419f);
    t.controlStroke = White(0.0698f);
    t.controlStrongStroke = White(0.544f);
    t.controlStrokeDisabled = White(0.0698f);
    t.flyoutStroke = White(0.2f);
    t.subtleFillHover = White(0.0605f);
    t.subtleFillPressed = White(0.0326f);
    t.dividerStroke = White(0.0837f);
    t.focusStrokeOuter = White();
    t.focusStrokeInner = Black(0.7f);
    t.success = Color::FromRgb8(108, 203, 95);
    t.caution = Color::FromRgb8(252, 225, 0);
    t.critical = Color::FromRgb8(255, 153, 164);
    return t;
}

SystemColors DefaultHighContrastColors() {
    return SystemColors{
        .window = Color::FromRgb8(0, 0, 0),
        .windowText = Color::FromRgb8(255, 255, 255),
        .grayText = Color::FromRgb8(63, 242, 63),
        .highlightText = Color::FromRgb8(0, 0, 0),
        .highlight = Color::FromRgb8(26, 235, 255),
        .hotLight = Color::FromRgb8(255, 255, 0),
        .buttonFace = Color::FromRgb8(0, 0, 0),
        .buttonText = Color::FromRgb8(255, 255, 255),
    };
}

Theme HighContrastTheme(const SystemColors& c) {
    Theme t;
    t.kind = ThemeKind::HighContrast;
    t.highContrast = true;
    t.windowBackground = t.cardBackground = t.flyoutBackground = t.focusStrokeInner = c.window;
    t.textPrimary = t.textSecondary = t.dividerStroke = c.windowText;
    t.textTertiary = t.textOnAccentDisabled = t.controlStrokeDisabled = t.textPlaceholder =
        c.grayText;
    t.textOnAccent = c.highlightText;
    t.accent = c.highlight;
    t.accentHover = t.accentPressed = t.focusStrokeOuter = c.hotLight;
    t.success = t.caution = t.critical = c.hotLight;
    t.accentDisabled = t.controlFill = t.controlFillHover = t.controlFillPressed =
        t.controlFillDisabled = t.subtleFillHover = t.subtleFillPressed = c.buttonFace;
    t.controlStroke = t.controlStrongStroke = t.flyoutStroke = c.buttonText;
    return t;
}

Theme HighContrastTheme() {
    return HighContrastTheme(DefaultHighContrastColors());
}

const Theme& DetachedTheme() {
    static const Theme theme = LightTheme(kDefaultAccent);
    return theme;
}

Color ToneColor(const Theme& theme, Tone tone) {
    switch (tone) {
    case Tone::Primary:
        return theme.textPrimary;
    case Tone::Secondary:
        return theme.textSecondary;
    case Tone::Tertiary:
        return theme.textTertiary;
    case Tone::Accent:
        return theme.accent;
    case Tone::Critical:
        return theme.critical;
    case Tone::Caution:
        return theme.caution;
    case Tone::Success:
        return theme.success;
    }
    return theme.textPrimary;
}

} // namespace Velto::Widget
