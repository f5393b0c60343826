#pragma once

#include "widget/core/widget.h"

namespace Velto::Widget {

enum class ScrollMode : std::int32_t { Scrollable = 0, Disabled = 1 };

// Shows one child through a viewport, scrolled by the wheel and by overlay
// bars that appear while the pointer is near the right or bottom edge.
class ScrollViewer : public Widget {
public:
    static constexpr float kWheelStep = 48;   // DIPs per wheel notch
    static constexpr float kBarThickness = 6; // the overlay bars
    // Away from the pointer a bar is a thin line along the edge, so that a
    // page that scrolls shows it does.
    static constexpr float kRestingBarThickness = 3;
    static constexpr float kMinThumbLength = 24;
    static constexpr float kHoverReach = 12; // bars show this close to an edge
    static constexpr float kBarSlack = 0.5f; // a bar exists beyond this overflow

    // Replaces the content.
    Widget* SetContent(std::unique_ptr<Widget> content);
    Widget* Content() const;
    void SetScrollModes(ScrollMode vertical, ScrollMode horizontal);
    // Clamped to 0 ... extent - viewport on each scrollable axis.
    void ScrollTo(float x, float y);
    PointF Offset() const { return m_offset; }
    SizeF Extent() const { return m_extent; }
    SizeF Viewport() const { return m_viewport; }
    // The least scroll that shows the whole descendant (its start when it
    // is larger than the viewport); it must have been arranged.
    void BringIntoView(const Widget& descendant);
    bool HasVerticalBar() const;
    bool HasHorizontalBar() const;
    // The thumbs in the viewer's coordinates (empty without a bar).
    RectF VerticalThumb() const;
    RectF HorizontalThumb() const;

    std::string_view ClassName() const override { return "ScrollViewer"; }
    bool OnWheel(const WheelEvent& event) override;
    // The wheel and the overlay bars work over the whole viewport, also where
    // the content below the pointer takes no hits (text, empty space).
    bool TakesHitsItself() const override { return true; }
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;
    void OnDescendantFocused(Widget& descendant) override;

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void DrawChildren(Canvas& canvas) override;

private:
    enum class Drag : std::int32_t { None = 0, VerticalThumb = 1, HorizontalThumb = 2 };

    PointF ToLocal(PointF windowPoint) const;
    PointF MaxOffset() const;
    void ArrangeContent();
    void SetHover(bool hover);

    ScrollMode m_verticalMode{ScrollMode::Scrollable};
    ScrollMode m_horizontalMode{ScrollMode::Disabled};
    PointF m_offset;
    SizeF m_extent;
    SizeF m_viewport;
    Drag m_drag{Drag::None};
    bool m_hover{false};
    float m_dragStartPointer{0}; // along the dragged axis, local DIPs
    float m_dragStartOffset{0};
};

} // namespace Velto::Widget
