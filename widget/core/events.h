#pragma once

#include "widget/render/geometry.h"

#include <cstdint>

namespace Velto::Widget {

// Modifier bits of every input event.
constexpr std::uint32_t kModShift = 1u << 0;
constexpr std::uint32_t kModCtrl = 1u << 1;
constexpr std::uint32_t kModAlt = 1u << 2;

enum class PointerButton : std::int32_t { None = 0, Left = 1, Right = 2, Middle = 3 };
enum class PointerSource : std::int32_t { Mouse = 0, Pen = 1, Touch = 2 };

struct PointerEvent {
    PointF position; // DIPs, window client coordinates
    PointerButton button{PointerButton::None};
    std::uint32_t modifiers{0};
    int clickCount{1};
    PointerSource source{PointerSource::Mouse};
};

struct WheelEvent {
    PointF position;     // DIPs, window client coordinates
    float horizontal{0}; // notches (wheel delta / 120)
    float vertical{0};
    bool precise{false}; // less than one notch, as precision touchpads send
    std::uint32_t modifiers{0};
};

struct KeyEvent {
    std::uint32_t virtualKey{0};
    std::uint32_t scanCode{0};
    std::uint32_t modifiers{0};
    bool repeat{false};
    bool extended{false};
    bool systemKey{false};
};

struct CharEvent {
    char32_t character{0};
    std::uint32_t modifiers{0};
    bool typedWithAlt{false};
};

} // namespace Velto::Widget
