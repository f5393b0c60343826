#pragma once

#include "widget/list/column.h"
#include "widget/list/list_data_source.h"
#include "widget/list/list_header.h"
#include "widget/list/selection_model.h"
#include "widget/list/type_ahead.h"
#include "widget/list/virtual_rows_view.h"
#include "widget/render/text_layout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Velto::Widget::List {

// A table over an IListDataSource: a header with resizable, movable and
// sortable columns, rows drawn only while visible, overlay scroll bars and
// a selection with the usual list conventions (click, Ctrl and Shift
// clicks, arrow and page keys, type-ahead, rubber band).
class ListView : public VirtualRowsView {
public:
    static constexpr float kDefaultWidth = 480;
    static constexpr float kDefaultHeight = 320;
    static constexpr float kHorizontalStep = 48;
    static constexpr float kCellInset = 12;
    static constexpr float kIconGap = 8; // between a row's icon and its first text
    static constexpr float kRowInsetX = 4;
    static constexpr float kRowInsetY = 2;
    static constexpr float kMarkWidth = 3;
    static constexpr float kMarkHeight = 16;
    static constexpr float kMarkRadius = 1.5f;
    static constexpr float kContextAnchorHeight = 24;
    static constexpr double kBandScrollSeconds = 0.016;
    static constexpr float kSelectedAlphaLight = 0.15f;
    static constexpr float kSelectedAlphaDark = 0.26f;
    static constexpr float kSelectedHoverBoost = 0.07f;

    ListView();
    ~ListView() override;

    // Appends a column (width clamped to its limits); returns its index.
    int AddColumn(Column column);
    const std::vector<Column>& Columns() const { return m_columns; }
    // The left edge of each column (display order) and their total width.
    float ColumnX(int index) const { return m_columnX[static_cast<std::size_t>(index)]; }
    float ColumnsWidth() const { return m_columnsWidth; }
    // Width clamped to the column's limits; the columns are laid out again.
    void SetColumnWidth(int index, float width);
    // Moves the column at `from` to display index `to`.
    void MoveColumn(int from, int to);

    // The source stays the caller's and must outlive its use here.
    void SetSource(const IListDataSource* source);
    const IListDataSource* Source() const { return m_source; }
    // Reads the row count again, drops cached texts, clamps the selection.
    void Reload();

    Models::SelectionModel& Selection() { return m_selection; }
    const Models::SelectionModel& Selection() const { return m_selection; }
    void SetSelectionMode(Models::SelectionMode mode) { m_selection.SetMode(mode); }
    // Exactly that row, current and anchor, scrolled into view.
    void SelectOnly(std::int64_t row);

    void SetEmptyText(std::u16string text);
    const std::u16string& EmptyText() const { return m_emptyText; }
    void SetHeaderVisible(bool visible);
    void SetSortState(SortState state);
    SortState GetSortState() const { return m_sort; }
    void SetSearchColumn(std::int32_t id) { m_searchColumn = id; }
    std::int32_t SearchColumn() const { return m_searchColumn; }

    double HorizontalOffset() const { return m_horizontalOffset; }
    void SetHorizontalOffset(double offset);
    ScrollBar& HorizontalBar() { return *m_horizontalBar; }
    ListHeader& Header() { return *m_header; }

    // How many rows' texts are laid out and kept now.
    std::size_t CachedRowCount() const { return m_rowCache.size(); }

    // Callbacks; an empty one ignores the event.
    void SetOnSelectionChanged(std::function<void(const Models::SelectionChange&)> callback) {
        m_onSelectionChanged = std::move(callback);
    }
    void SetOnRowActivated(std::function<void(std::int64_t)> callback) {
        m_onRowActivated = std::move(callback);
    }
    void SetOnSortChanged(std::function<void(SortState)> callback) {
        m_onSortChanged = std::move(callback);
    }
    void SetOnColumnsChanged(std::function<void()> callback) {
        m_onColumnsChanged = std::move(callback);
    }
    // The row (-1: none) and the anchor box in the list's coordinates.
    void SetOnContextMenu(std::function<void(std::int64_t, RectF)> callback) {
        m_onContextMenu = std::move(callback);
    }
    // The header's context menu at a point in the list's coordinates.
    void SetOnHeaderContextMenu(std::function<void(PointF)> callback) {
        m_onHeaderContextMenu = std::move(callback);
    }
    void SetOnRenameRequested(std::function<void(std::int64_t)> callback) {
        m_onRenameRequested = std::move(callback);
    }

    std::string_view ClassName() const override { return "ListView"; }
    bool CanFocus() const override { return true; }
    bool TakesHitsItself() const override { return true; }
    bool OnKeyDown(const KeyEvent& event) override;
    bool OnChar(const CharEvent& event) override;
    // Horizontal wheels (and Shift with a vertical one) scroll the columns.
    bool OnWheel(const WheelEvent& event) override;
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;
    void OnFocusChanged(bool focused) override;
    void OnThemeChanged() override;
    void DropTextLayouts() override;

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void DrawRows(Canvas& canvas) override;
    void DrawRow(Canvas& canvas, std::int64_t row, const RectF& band) override;
    void OnScrolled() override;

private:
    friend class ListHeader;

    struct CachedCell {
        std::unique_ptr<TextLayout> layout;
    };
    struct CachedRow {
        std::vector<CachedCell> cells; // by display index
        char32_t icon{0};              // drawn before the first visible column's text
    };

    void LayoutColumns();
    // The display index of the first visible column, or -1.
    int FirstVisibleColumn() const;
    void UpdateHorizontalBar();
    std::u16string_view CellText(std::int64_t row, std::int32_t id) const;
    CachedRow& RowTexts(std::int64_t row);
    void DropRowCache();
    void TrimRowCache();
    // A navigation key's target row, applied by the modifiers.
    void Navigate(std::int64_t target, std::uint32_t modifiers);
    void ApplyClickSelection(std::int64_t row, std::uint32_t modifiers);
    void SpaceSelect(std::uint32_t modifiers);
    void ContextMenuAtCurrent();
    PointF ToLocal(PointF windowPoint) const;
    void CancelRenameTimer();
    void StartBand(PointF local);
    void UpdateBand();
    void StopBand();
    void BandScrollTick();
    void CancelDrags();
    bool TypeAheadRunning() const;
    double NowMs() const;

    std::vector<Column> m_columns;
    std::vector<float> m_columnX;
    float m_columnsWidth{0};
    double m_horizontalOffset{0};
    ScrollBar* m_horizontalBar{nullptr};
    ListHeader* m_header{nullptr};
    bool m_headerVisible{true};
    const IListDataSource* m_source{nullptr};
    Models::SelectionModel m_selection;
    std::u16string m_emptyText{u"This list is empty"};
    std::unique_ptr<TextLayout> m_emptyLayout;
    Models::TypeAhead m_typeAhead;
    std::int32_t m_searchColumn{-1};
    SortState m_sort;
    std::unordered_map<std::int64_t, CachedRow> m_rowCache;

    bool m_focused{false};
    std::int64_t m_hoverRow{-1};
    // A press on a row of a multiple selection waits for the release.
    std::int64_t m_pendingOnlyRow{-1};
    // Rename: armed by a press on the only selected row, started on release.
    std::int64_t m_renameArmedRow{-1};
    std::uint64_t m_renameTimer{0};
    std::int64_t m_renameRow{-1};
    bool m_pressed{false};
    std::int64_t m_rightPressRow{-1};
    bool m_rightPressed{false};
    // Rubber band: its start in content coordinates (x with the horizontal
    // offset, y with the vertical one) and the pointer.
    bool m_banding{false};
    PointF m_bandStart;
    double m_bandStartOffset{0};
    PointF m_bandPointer;
    std::vector<Models::RowRange> m_bandBase;
    std::uint64_t m_bandTimer{0};
    std::uint64_t m_selectionListener{0};

    std::function<void(const Models::SelectionChange&)> m_onSelectionChanged;
    std::function<void(std::int64_t)> m_onRowActivated;
    std::function<void(SortState)> m_onSortChanged;
    std::function<void()> m_onColumnsChanged;
    std::function<void(std::int64_t, RectF)> m_onContextMenu;
    std::function<void(PointF)> m_onHeaderContextMenu;
    std::function<void(std::int64_t)> m_onRenameRequested;
};

} // namespace Velto::Widget::List
