#include "widget/render/system_theme.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

void ExpectColor(Color actual, Color expected) {
    EXPECT_NEAR(actual.r, expected.r, 1e-4);
    EXPECT_NEAR(actual.g, expected.g, 1e-4);
    EXPECT_NEAR(actual.b, expected.b, 1e-4);
    EXPECT_NEAR(actual.a, expected.a, 1e-4);
}

Color Rgb(float r, float g, float b) {
    return Color{r / 255, g / 255, b / 255, 1};
}

TEST(Theme, AccentRules) {
    ExpectColor(DarkTheme(kDefaultAccent).accent, Rgb(89.25f, 167.25f, 227.05f));
    ExpectColor(LightTheme(kDefaultAccent).accent, Rgb(0, 102, 180.2f));
    const Theme light = LightTheme(kDefaultAccent);
    ExpectColor(light.accentHover, light.accent.WithAlpha(0.9f));
    ExpectColor(light.accentPressed, light.accent.WithAlpha(0.8f));
}

TEST(Theme, SubtleFillsHoverDarkerThanPressed) {
    const Theme light = LightTheme(kDefaultAccent);
    EXPECT_FLOAT_EQ(light.subtleFillHover.a, 0.075f);
    EXPECT_FLOAT_EQ(light.subtleFillPressed.a, 0.05f);
    EXPECT_GT(light.subtleFillHover.a, light.subtleFillPressed.a);
    const Theme dark = DarkTheme(kDefaultAccent);
    EXPECT_FLOAT_EQ(dark.subtleFillHover.a, 0.0605f);
    EXPECT_FLOAT_EQ(dark.subtleFillPressed.a, 0.0326f);
}

TEST(Theme, LightAndDarkRoles) {
    const Theme light = LightTheme(kDefaultAccent);
    EXPECT_EQ(light.kind, ThemeKind::Light);
    EXPECT_FALSE(light.highContrast);
    ExpectColor(light.windowBackground, Rgb(243, 243, 243));
    ExpectColor(light.cardBackground, White(0.7f));
    ExpectColor(light.textPrimary, Black(0.896f));
    ExpectColor(light.controlFillHover, Color{233 / 255.0f, 233 / 255.0f, 233 / 255.0f, 0.85f});
    ExpectColor(light.critical, Rgb(196, 43, 28));
    const Theme dark = DarkTheme(kDefaultAccent);
    EXPECT_EQ(dark.kind, ThemeKind::Dark);
    ExpectColor(dark.windowBackground, Rgb(32, 32, 32));
    ExpectColor(dark.flyoutBackground, Rgb(44, 44, 44));
    ExpectColor(dark.textOnAccent, Black());
    ExpectColor(dark.focusStrokeInner, Black(0.7f));
    ExpectColor(dark.caution, Rgb(252, 225, 0));
}

// Hints in empty boxes read as hints: well dimmer than typed text over the
// box's fill, yet readable (WCAG contrast 4.5 against the fill).
TEST(Theme, PlaceholderTextIsClearlyDimmerThanTypedText) {
    const auto over = [](Color top, Color bottom) {
        return Color{top.r * top.a + bottom.r * (1 - top.a), top.g * top.a + bottom.g * (1 - top.a),
                     top.b * top.a + bottom.b * (1 - top.a), 1};
    };
    const auto luminance = [](Color c) {
        const auto linear = [](float v) {
            return v <= 0.03928f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
        };
        return 0.2126f * linear(c.r) + 0.7152f * linear(c.g) + 0.0722f * linear(c.b);
    };
    const auto contrast = [&](Color a, Color b) {
        const float la = luminance(a);
        const float lb = luminance(b);
        return (std::max(la, lb) + 0.05f) / (std::min(la, lb) + 0.05f);
    };
    for (const Theme& theme : {LightTheme(kDefaultAccent), DarkTheme(kDefaultAccent)}) {
        SCOPED_TRACE(theme.kind == ThemeKind::Dark ? "dark" : "light");
        // A box on a card on the window.
        const Color fill =
            over(theme.controlFill, over(theme.cardBackground, theme.windowBackground));
        const Color typed = over(theme.textPrimary, fill);
        const Color hint = over(theme.textPlaceholder, fill);
        EXPECT_GE(contrast(typed, hint), 1.8f);
        EXPECT_GE(contrast(hint, fill), 4.5f);
    }
}

TEST(Theme, Metrics) {
    const Theme t = LightTheme(kDefaultAccent);
    EXPECT_EQ(t.controlHeight, 32);
    EXPECT_EQ(t.controlCornerRadius, 4);
    EXPECT_EQ(t.overlayCornerRadius, 8);
    EXPECT_EQ(t.controlPaddingX, 11);
    EXPECT_EQ(t.bodySize, 14);
    EXPECT_EQ(t.captionSize, 12);
    EXPECT_EQ(t.subtitleSize, 20);
    EXPECT_EQ(t.iconSize, 16);
    EXPECT_EQ(t.checkBoxSize, 20);
    EXPECT_EQ(t.switchWidth, 40);
    EXPECT_EQ(t.switchHeight, 20);
    EXPECT_DOUBLE_EQ(t.transitionSeconds, 0.15);
    EXPECT_DOUBLE_EQ(t.cycleSeconds, 1.6);
}

TEST(Theme, HighContrastTakesTheSystemColours) {
    SystemColors colors = DefaultHighContrastColors();
    colors.windowText = Rgb(1, 2, 3);
    colors.hotLight = Rgb(4, 5, 6);
    const Theme t = HighContrastTheme(colors);
    EXPECT_EQ(t.kind, ThemeKind::HighContrast);
    EXPECT_TRUE(t.highContrast);
    ExpectColor(t.textPrimary, colors.windowText);
    ExpectColor(t.textSecondary, colors.windowText);
    ExpectColor(t.success, colors.hotLight);
    ExpectColor(t.caution, colors.hotLight);
    ExpectColor(t.critical, colors.hotLight);
    ExpectColor(t.controlStroke, colors.buttonText);
    EXPECT_EQ(t.bodySize, 14);
}

TEST(Theme, DetachedThemeIsLightWithTheDefaultAccent) {
    EXPECT_EQ(DetachedTheme().kind, ThemeKind::Light);
    ExpectColor(DetachedTheme().accent, LightTheme(kDefaultAccent).accent);
    EXPECT_EQ(&DetachedTheme(), &DetachedTheme());
}

TEST(Theme, Tones) {
    const Theme t = DarkTheme(kDefaultAccent);
    ExpectColor(ToneColor(t, Tone::Secondary), t.textSecondary);
    ExpectColor(ToneColor(t, Tone::Accent), t.accent);
    ExpectColor(ToneColor(t, Tone::Success), t.success);
}

TEST(SystemTheme, NothingReportedGivesLight) {
    const Theme t = ThemeFromAppearance(SystemAppearance{});
    EXPECT_EQ(t.kind, ThemeKind::Light);
    ExpectColor(t.accent, LightTheme(kDefaultAccent).accent);
}

TEST(SystemTheme, PortalDecidesBeforeGsettings) {
    SystemAppearance a;
    a.portalColorScheme = 1;
    a.gsettingsColorScheme = "prefer-light";
    EXPECT_EQ(ThemeFromAppearance(a).kind, ThemeKind::Dark);
    a.portalColorScheme = 2;
    a.gsettingsColorScheme = "prefer-dark";
    EXPECT_EQ(ThemeFromAppearance(a).kind, ThemeKind::Light);
    // "No preference" leaves the choice to gsettings.
    a.portalColorScheme = 0;
    EXPECT_EQ(ThemeFromAppearance(a).kind, ThemeKind::Dark);
    a.portalColorScheme.reset();
    a.gsettingsColorScheme = "default";
    EXPECT_EQ(ThemeFromAppearance(a).kind, ThemeKind::Light);
}

TEST(SystemTheme, HighContrastWinsAndTheDesktopAccentIsUsed) {
    SystemAppearance a;
    a.portalColorScheme = 1;
    a.accent = Rgb(200, 0, 0);
    ExpectColor(ThemeFromAppearance(a).accent, Rgb(200 + 55 * 0.35f, 0.35f * 255, 0.35f * 255));
    a.highContrast = true;
    EXPECT_EQ(ThemeFromAppearance(a).kind, ThemeKind::HighContrast);
}

} // namespace
} // namespace Velto::Widget
