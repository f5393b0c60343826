#pragma once

#include "widget/core/widget.h"
#include "widget/render/text_layout.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Velto::Widget::List {

class ListView;

// The column titles above a list view's rows. Column edges resize the
// columns (a double click fits the widest text), dragging a title reorders
// them, and a click on a sortable title sorts by it.
class ListHeader : public Widget {
public:
    static constexpr float kHeight = 32;
    static constexpr float kGripReach = 5; // DIPs either side of an edge
    static constexpr float kDragThreshold = 5;
    static constexpr float kTextInset = 12;
    static constexpr float kSortGlyphSize = 8;
    static constexpr float kSortBoxWidth = 14;
    static constexpr float kSortBoxHeight = 9;
    static constexpr float kDraggedOpacity = 0.35f;
    static constexpr float kGhostAlpha = 0.95f;
    static constexpr float kDropBarWidth = 2;

    explicit ListHeader(ListView& owner) : m_owner(owner) {}

    enum class ZoneKind { None, Edge, Body };
    struct Zone {
        ZoneKind kind{ZoneKind::None};
        int column{-1}; // display index
    };
    // What lies under a point in the header's coordinates.
    Zone ZoneAt(PointF point) const;
    bool IsDraggingColumn() const { return m_drag == Drag::Move && m_moving; }
    // Ends a column drag or resize without applying it.
    void CancelDrag();
    void DropTextLayouts() override { m_titles.clear(); }

    std::string_view ClassName() const override { return "ListHeader"; }
    bool TakesHitsItself() const override { return true; }
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;
    CursorShape Cursor() const override;
    void OnThemeChanged() override { DropTextLayouts(); }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    enum class Drag { None, Resize, Move };

    PointF ToLocal(PointF windowPoint) const;
    // The column's left edge in header coordinates (scrolled).
    float CellLeft(int column) const;
    // The display index a dragged column would land at for this x.
    int DropIndexAt(float x) const;
    const TextLayout& TitleLayout(int column, float width);
    void DrawCell(Canvas& canvas, int column, const RectF& cell, bool pressed);

    ListView& m_owner;
    Drag m_drag{Drag::None};
    int m_column{-1}; // resized or pressed column
    float m_pressX{0};
    float m_startWidth{0};
    bool m_moving{false};
    float m_pointerX{0};
    int m_hoverColumn{-1};
    bool m_hoverEdge{false};
    struct Title {
        std::int32_t id{0};
        float width{0};
        std::unique_ptr<TextLayout> layout;
    };
    std::vector<Title> m_titles;
};

} // namespace Velto::Widget::List
