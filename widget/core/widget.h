#pragma once

#include "widget/core/events.h"
#include "widget/core/tree_host.h"
#include "widget/render/geometry.h"
#include "widget/render/theme.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Widget {

class Canvas;

enum class Alignment : std::int32_t { Stretch = 0, Start = 1, Center = 2, End = 3 };

constexpr float kAuto = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Accessibility roles this toolkit's own classes use; 3 is "not an element".
constexpr std::int32_t kRoleNone = 3;
constexpr std::int32_t kRoleImage = 6;

// The base of every element of the tree. A widget owns its children, is laid
// out in two passes (measure, then arrange, each skipped when its inputs did
// not change) and draws itself through a Canvas in its own coordinates.
class Widget {
public:
    Widget() = default;
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // Tree.
    Widget* Parent() const { return m_parent; }
    TreeHost* GetHost() const { return m_host; }
    const std::vector<std::unique_ptr<Widget>>& Children() const { return m_children; }
    // Appends the child and returns it.
    Widget* AddChild(std::unique_ptr<Widget> child);
    template <typename T> T* Add(std::unique_ptr<T> child) {
        T* raw = child.get();
        AddChild(std::move(child));
        return raw;
    }
    // Destroys the child and its subtree.
    void RemoveChild(Widget* child);
    void ClearChildren();
    // Attaches a root (a widget without parent) to a host, or detaches it
    // with none; the whole subtree follows.
    void SetRootHost(TreeHost* host);

    // Layout properties; each change clears the measure up to the root and
    // asks the host for a layout pass.
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    void SetWidth(float width);
    void SetHeight(float height);
    void SetMinWidth(float value);
    void SetMaxWidth(float value);
    void SetMinHeight(float value);
    void SetMaxHeight(float value);
    void SetMargin(const Thickness& margin);
    void SetHorizontalAlignment(Alignment alignment);
    void SetVerticalAlignment(Alignment alignment);
    const Thickness& Margin() const { return m_margin; }
    Alignment HorizontalAlignment() const { return m_horizontalAlignment; }
    Alignment VerticalAlignment() const { return m_verticalAlignment; }

    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    bool IsEnabled() const { return m_enabled; }
    // Propagates to the descendants.
    void SetEnabled(bool enabled);
    float Opacity() const { return m_opacity; }
    void SetOpacity(float opacity);

    void SetTabStop(bool tabStop) { m_tabStop = tabStop ? 1 : 0; }
    void SetHitSelf(bool hitSelf) { m_hitSelf = hitSelf ? 1 : 0; }
    // Arrow keys move focus among the focusable descendants of a group
    // (radio buttons, segmented choices) when nobody handles them.
    bool IsArrowKeyGroup() const { return m_arrowKeyGroup; }
    void SetArrowKeyGroup(bool group) { m_arrowKeyGroup = group; }
    void SetTooltip(std::u16string tooltip) { m_tooltip = std::move(tooltip); }
    void SetAccessibleName(std::u16string name);
    void SetHelpText(std::u16string text) { m_helpText = std::move(text); }
    void SetAutomationId(std::u16string id) { m_automationId = std::move(id); }
    void SetRole(std::int32_t role) { m_role = role; }

    // Layout passes. Measure takes the space offered (infinite: unbounded) and
    // stores the desired size including the margin; Arrange takes the box in
    // the parent's coordinates.
    void Measure(SizeF available);
    void Arrange(const RectF& box);
    SizeF DesiredSize() const { return SizeF{m_desiredWidth, m_desiredHeight}; }
    float X() const { return m_x; }
    float Y() const { return m_y; }
    float ActualWidth() const { return m_actualWidth; }
    float ActualHeight() const { return m_actualHeight; }
    RectF ArrangedBox() const { return RectF{m_x, m_y, m_actualWidth, m_actualHeight}; }
    bool IsMeasureValid() const { return m_measureValid; }
    bool IsArrangeValid() const { return m_arrangeValid; }
    // Clears the measure of this widget and every ancestor and asks the host
    // for a layout pass.
    void InvalidateMeasure();
    // Re-arranges this widget in its last box without a new measure (a
    // change of scroll offset, for example).
    void InvalidateArrange();

    // Draws the widget and its subtree; the host calls this on the root.
    void Paint(Canvas& canvas);

    void RequestRedraw();
    bool RequestFocus(bool fromKeyboard = false);
    std::uint64_t StartTimer(double seconds, std::function<void()> callback, bool repeat);
    void RaiseAccessibilityEvent(AccessibilityEvent event);
    // The box in window coordinates; empty when the widget or an ancestor is
    // hidden.
    RectF BoundsInWindow() const;
    const Theme& GetTheme() const;
    float DpiScale() const;
    // Tells the subtree that the theme or the DPI changed; layout follows.
    void NotifyThemeChanged();

    // Virtual operations.
    virtual Widget* HitTest(PointF point);
    virtual bool CanFocus() const { return false; }
    virtual bool IsTabStop() const { return m_tabStop != 0; }
    virtual char32_t AccessKey() const { return 0; }
    virtual std::u16string_view TooltipText() const { return m_tooltip; }
    virtual std::int32_t AccessibilityRole() const { return m_role; }
    virtual std::u16string_view AccessibleName() const { return m_accessibleName; }
    virtual std::u16string_view HelpText() const;
    virtual bool Invoke() { return false; }
    virtual bool IsAccessibilityElement() const { return AccessibilityRole() != kRoleNone; }
    virtual std::u16string_view AutomationId() const { return m_automationId; }
    virtual std::string_view ClassName() const { return "Widget"; }
    virtual bool OnPointerDown(const PointerEvent&) { return false; }
    virtual bool OnPointerUp(const PointerEvent&) { return false; }
    virtual bool OnPointerMove(const PointerEvent&) { return false; }
    virtual void OnPointerEnter() {}
    virtual void OnPointerLeave() {}
    virtual void OnCaptureLost() {}
    virtual bool OnWheel(const WheelEvent&) { return false; }
    virtual bool OnKeyDown(const KeyEvent&) { return false; }
    virtual bool OnKeyUp(const KeyEvent&) { return false; }
    virtual bool OnChar(const CharEvent&) { return false; }
    virtual void OnAccessKey() {}
    virtual void OnFocusChanged(bool /*focused*/) {}
    // A descendant took keyboard focus (scroll viewers bring it into view).
    virtual void OnDescendantFocused(Widget& /*descendant*/) {}
    virtual bool AllowsIme() const { return false; }
    // Input-method notifications while focused and AllowsIme() says so.
    virtual bool OnIme(const ImeEvent&) { return false; }
    // A widget that takes Alt itself (a shortcut recorder) gets Alt and
    // Alt+character instead of the access-key handling.
    virtual bool TakesAltKey() const { return false; }
    // The pointer shape while the pointer is over this widget.
    virtual CursorShape Cursor() const { return CursorShape::Arrow; }
    virtual RectF CaretRect() const { return RectF{}; }
    virtual void DrawFocusVisual(Canvas&) {}
    virtual void OnThemeChanged() {}
    // Forgets the text layouts cached for drawing; they are built again,
    // with the current theme and fonts, when next drawn.
    virtual void DropTextLayouts() {}
    virtual bool TakesHitsItself() const { return false; }

protected:
    // The content size wanted inside the margin, for the size offered there.
    virtual SizeF MeasureOverride(SizeF available);
    // Places the children inside the final size.
    virtual void ArrangeOverride(SizeF finalSize);
    virtual void Draw(Canvas&) {}
    // Draws the visible children; scroll viewers clip them and draw on top.
    virtual void DrawChildren(Canvas& canvas);
    // Called before a child is destroyed by RemoveChild or ClearChildren.
    virtual void OnChildRemoving(Widget&) {}

    bool HitSelfFlag() const { return m_hitSelf != 0; }

private:
    template <typename T> void SetLayoutValue(T& member, const T& value) {
        if (member == value)
            return;
        member = value;
        InvalidateMeasure();
    }
    void SetHostRecursive(TreeHost* host);
    void SetEnabledRecursive(bool enabled);
    void NotifyThemeChangedRecursive();

    Widget* m_parent{nullptr};
    TreeHost* m_host{nullptr};
    std::vector<std::unique_ptr<Widget>> m_children;
    float m_width{kAuto};
    float m_height{kAuto};
    float m_minWidth{0};
    float m_minHeight{0};
    float m_maxWidth{kInfinity};
    float m_maxHeight{kInfinity};
    Thickness m_margin;
    Alignment m_horizontalAlignment{Alignment::Stretch};
    Alignment m_verticalAlignment{Alignment::Stretch};
    float m_desiredWidth{0};
    float m_desiredHeight{0};
    float m_x{0};
    float m_y{0};
    float m_actualWidth{0};
    float m_actualHeight{0};
    SizeF m_lastAvailable{-1, -1};
    RectF m_lastArrangeRect{-1, -1, -1, -1};
    bool m_measureValid{false};
    bool m_arrangeValid{false};
    bool m_visible{true};
    bool m_enabled{true};
    std::uint16_t m_tabStop{1};
    std::uint16_t m_hitSelf{1};
    bool m_arrowKeyGroup{false};
    float m_opacity{1};
    std::u16string m_tooltip;
    std::u16string m_accessibleName;
    std::u16string m_helpText;
    std::u16string m_automationId;
    std::int32_t m_role{kRoleNone};
};

} // namespace Velto::Widget
