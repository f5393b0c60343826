#pragma once

#include "widget/render/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

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

enum class ImeEventKind : std::int32_t {
    CompositionStarted = 0,
    CompositionChanged = 1, // text, cursor and clause attributes are set
    ResultCommitted = 2,    // text is the committed result
    CompositionEnded = 3,
};

// An input-method composition notification for the focused widget.
struct ImeEvent {
    ImeEventKind kind{ImeEventKind::CompositionStarted};
    std::u16string text;
    // Caret position inside the composition text, in UTF-16 code units.
    std::int32_t cursor{0};
    // One clause attribute per UTF-16 code unit of the composition text
    // (0 input, 1 target converted, 2 converted, 3 target not converted).
    std::vector<std::uint8_t> attributes;
};

// The pointer shapes a widget can ask for while the pointer is over it.
enum class CursorShape : std::int32_t {
    Arrow = 0,
    Hand = 1,
    IBeam = 2,
    SizeWestEast = 3,
    SizeNorthSouth = 4,
    Move = 5,
    Wait = 6,
    NotAllowed = 7,
    Cross = 8,
    SizeNorthWestSouthEast = 9,
    SizeNorthEastSouthWest = 10,
};

} // namespace Velto::Widget
