#pragma once

#include "widget/render/color.h"
#include "widget/render/theme.h"

#include <cstdint>

namespace Velto::Widget {

enum class ButtonStyle : std::int32_t { Standard = 0, Accent = 1, Subtle = 2 };
enum class CheckState : std::int32_t { Unchecked = 0, Checked = 1, Indeterminate = 2 };

// The states a control's colours follow.
struct VisualState {
    bool hovered{false};
    bool pressed{false};
    bool enabled{true};
    bool checked{false};
    bool isDefault{false};
};

// Fill, outline and foreground (text, icon and marks) of a control.
struct ControlColors {
    Color fill;
    Color outline;
    Color foreground;

    friend bool operator==(const ControlColors&, const ControlColors&) = default;
};

constexpr Color kTransparent{0, 0, 0, 0};
// Outlines at or below this alpha are not drawn.
constexpr float kMinOutlineAlpha = 0.002f;

// Buttons and toggle buttons (checked only matters for toggle buttons).
ControlColors ButtonColors(const Theme& theme, ButtonStyle style, const VisualState& state);
// The box of a check box.
ControlColors CheckBoxColors(const Theme& theme, CheckState check, const VisualState& state);
// The track of a switch; the foreground is the knob.
ControlColors SwitchColors(const Theme& theme, bool on, const VisualState& state);

} // namespace Velto::Widget
