#pragma once

#include "widget/render/color.h"

#include <cstdint>

namespace Velto::Widget {

enum class ThemeKind : std::int32_t { Light = 0, Dark = 1, HighContrast = 2 };

// Text and icon colours by meaning; each maps to one colour role.
enum class Tone : std::int32_t { Primary, Secondary, Tertiary, Accent, Critical, Caution, Success };

// The system accent used when the desktop reports none.
constexpr Color kDefaultAccent = Color::FromRgb8(0, 120, 212);

// Every colour and size a widget draws with.
struct Theme {
    ThemeKind kind{ThemeKind::Light};

    Color windowBackground;
    Color cardBackground;
    Color flyoutBackground;
    Color textPrimary;
    Color textSecondary;
    Color textTertiary;
    // Hints in empty text boxes: readable, yet clearly not typed text.
    Color textPlaceholder;
    Color textOnAccent;
    Color accent;
    Color accentHover;
    Color accentPressed;
    Color accentDisabled;
    Color textOnAccentDisabled;
    Color controlFill;
    Color controlFillHover;
    Color controlFillPressed;
    Color controlFillDisabled;
    Color controlStroke;
    Color controlStrongStroke;
    Color controlStrokeDisabled;
    // The outline of menus and drop-down lists over the window.
    Color flyoutStroke;
    Color subtleFillHover;
    Color subtleFillPressed;
    Color dividerStroke;
    Color focusStrokeOuter;
    Color focusStrokeInner;
    Color success;
    Color caution;
    Color critical;

    float controlHeight{32};
    float controlCornerRadius{4};
    float overlayCornerRadius{8};
    float contentGap{8}; // space between a control's glyph and its text
    float controlPaddingX{11};
    float bodySize{14};
    float captionSize{12};
    float subtitleSize{20};
    float iconSize{16};
    float checkBoxSize{20};
    float switchWidth{40};
    float switchHeight{20};
    float focusMargin{3};    // the focus ring's distance outside the widget
    float focusThickness{2}; // the outer focus ring's width
    double transitionSeconds{0.15};
    double cycleSeconds{1.6}; // one period of an indeterminate progress animation
    bool highContrast{false};
};

// The system colours a high-contrast theme is made of.
struct SystemColors {
    Color window;
    Color windowText;
    Color grayText;
    Color highlightText;
    Color highlight;
    Color hotLight;
    Color buttonFace;
    Color buttonText;
};

Theme LightTheme(Color systemAccent);
Theme DarkTheme(Color systemAccent);
// The high-contrast palette used when the desktop turns high contrast on:
// white on black with cyan selection and yellow links.
SystemColors DefaultHighContrastColors();
Theme HighContrastTheme(const SystemColors& colors);
Theme HighContrastTheme();

// The light theme with the default accent, built once per process; widgets
// without a host draw with it.
const Theme& DetachedTheme();

Color ToneColor(const Theme& theme, Tone tone);

} // namespace Velto::Widget
