#pragma once

#include "widget/core/widget.h"
#include "widget/list/scroll_bar.h"
#include "widget/list/scroll_motion.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace Velto::Widget::List {

// A widget that shows a long run of equally tall rows through a viewport
// and draws only the rows inside it. It keeps the vertical scroll offset,
// scrolls smoothly with the wheel and keys, and owns the vertical scroll
// bar. Derived classes draw the rows and place the rows area.
class VirtualRowsView : public Widget {
public:
    static constexpr float kDefaultRowHeight = 20;
    static constexpr float kMinRowHeight = 1;
    static constexpr float kWheelLines = 3;

    VirtualRowsView();

    std::int64_t RowCount() const { return m_rowCount; }
    float RowHeight() const { return m_rowHeight; }
    // At least kMinRowHeight.
    void SetRowHeight(float height);
    float TopPadding() const { return m_topPadding; }
    void SetTopPadding(float padding);
    // DIPs per wheel line; NaN: one row.
    void SetWheelDistance(float distance) { m_wheelDistance = distance; }
    void SetSmoothScrolling(bool smooth) { m_smoothScrolling = smooth; }

    // The vertical offset shown now, and where a running motion goes.
    double ScrollOffset() const { return m_offset; }
    double ScrollTarget() const { return m_motion.IsRunning() ? m_motion.Target() : m_offset; }
    // The largest offset: rows x height + top padding - viewport, not below 0.
    double MaxScrollOffset() const;
    // Jumps (no animation) to the offset, clamped.
    void ScrollToOffset(double offset);
    // Moves towards the offset (clamped) with the approach motion when
    // smooth scrolling can run, else at once.
    void AnimateScrollTo(double offset);
    // Coasts from the current offset with a velocity in DIPs per millisecond.
    void Fling(double velocity);
    bool IsScrollAnimating() const { return m_motion.IsRunning(); }
    // Brings the row fully into the viewport.
    void ScrollRowIntoView(std::int64_t row, bool animate = true);

    // The rows the viewport shows: [FirstVisibleRow, LastVisibleRow).
    std::int64_t FirstVisibleRow() const;
    std::int64_t LastVisibleRow() const;
    std::int64_t VisibleRowCount() const { return LastVisibleRow() - FirstVisibleRow(); }
    // The row at a y in the rows area's coordinates; -1 outside the rows.
    std::int64_t RowAt(float y) const;
    // The top of the row in the rows area's coordinates.
    double RowTop(std::int64_t row) const;
    // Where the rows are drawn, in the widget's coordinates.
    RectF RowsArea() const { return m_rowsArea; }

    ScrollBar& VerticalBar() { return *m_verticalBar; }

    bool OnWheel(const WheelEvent& event) override;

protected:
    // Sets the row count and keeps the offset inside the new range.
    void SetRowCountValue(std::int64_t count);
    // Derived classes place the rows area in their arrange pass.
    void SetRowsArea(const RectF& area);
    // Draws one row; `band` is the row's box in the widget's coordinates.
    virtual void DrawRow(Canvas& canvas, std::int64_t row, const RectF& band) = 0;
    // Draws the rows area (clipped): the visible rows by default.
    virtual void DrawRows(Canvas& canvas);
    // The offset changed (a derived view drops what depends on it).
    virtual void OnScrolled() {}
    void Draw(Canvas& canvas) override;
    void UpdateVerticalBar();

private:
    void StartScrollAnimation();
    void StopScrollAnimation();
    void StoreOffset(double offset);
    float WheelLine() const;

    std::int64_t m_rowCount{0};
    float m_rowHeight{kDefaultRowHeight};
    float m_topPadding{0};
    double m_offset{0};
    ScrollMotion m_motion;
    std::uint64_t m_animation{0};
    double m_lastStep{0};
    float m_wheelDistance{std::numeric_limits<float>::quiet_NaN()};
    bool m_smoothScrolling{true};
    RectF m_rowsArea;
    ScrollBar* m_verticalBar{nullptr};
};

} // namespace Velto::Widget::List
