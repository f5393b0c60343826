#pragma once

#include "widget/render/theme.h"

#include <cstdint>
#include <functional>

namespace Velto::Widget {

class Widget;

// Accessibility notifications a widget raises through its host.
enum class AccessibilityEvent : std::int32_t {
    NameChanged,
    EnabledChanged,
    FocusChanged,
    ToggleChanged,
    ValueChanged,
    SelectionChanged,
    StructureChanged,
};

// What a widget tree asks of whoever shows it (the InputRouter of a native
// window or popup, or the headless host that renders trees to images). Every
// call is made on the UI thread.
class TreeHost {
public:
    virtual ~TreeHost() = default;

    virtual const Theme& GetTheme() const = 0;
    // The DPI scale (DPI / 96) the tree is drawn at.
    virtual float DpiScale() const = 0;

    // Schedules one layout pass before the next frame.
    virtual void RequestLayout() = 0;
    // Schedules a frame.
    virtual void RequestPaint() = 0;

    virtual bool SetFocus(Widget* widget, bool fromKeyboard) = 0;
    // Routes pointer input to the widget until released (none releases).
    virtual void SetCapture(Widget* widget) = 0;
    virtual std::uint64_t SetTimer(Widget* owner, double seconds, std::function<void()> callback,
                                   bool repeat) = 0;
    virtual void KillTimer(std::uint64_t id) = 0;

    // A subtree joined the tree.
    virtual void WidgetAttached(Widget& widget) = 0;
    // The widget leaves the tree or is destroyed: forget it (focus, capture,
    // hover, timers). Called for every widget of a leaving subtree.
    virtual void WidgetDetached(Widget& widget) = 0;
    // Focus, hover and capture move away from a hidden or disabled subtree.
    virtual void WidgetHidden(Widget& widget) = 0;
    virtual void WidgetDisabled(Widget& widget) = 0;
    virtual void RaiseAccessibilityEvent(Widget& widget, AccessibilityEvent event) = 0;

    // True while access keys are shown underlined (after Alt was pressed).
    virtual bool AccessKeyCuesShown() const { return false; }
    // True when focus came from the keyboard, so the focus ring is drawn.
    virtual bool FocusVisualShown() const { return false; }
};

} // namespace Velto::Widget
