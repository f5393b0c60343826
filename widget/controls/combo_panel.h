#pragma once

#include "widget/list/selection_model.h"
#include "widget/list/type_ahead.h"
#include "widget/list/virtual_rows_view.h"
#include "widget/render/text_layout.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget::Controls {

// The list a combo box drops down: its items in rows of 32 DIPs, the
// selected one current. Keys and clicks choose an item or dismiss the list.
class ComboPanel : public List::VirtualRowsView {
public:
    static constexpr float kRowHeight = 32;
    static constexpr float kPadding = 4; // above the first and below the last row
    static constexpr int kMaxVisibleRows = 8;

    ComboPanel(const std::vector<std::u16string>& items, int selected);

    // Rows shown at once and the panel's height for them.
    static float HeightFor(std::size_t itemCount);

    // An item was chosen (click, Enter) or the list was dismissed (Escape).
    void SetOnChosen(std::function<void(int)> callback) { m_onChosen = std::move(callback); }
    void SetOnDismissed(std::function<void()> callback) { m_onDismissed = std::move(callback); }
    int Current() const { return static_cast<int>(m_selection.Current()); }
    // The keys and characters the combo box passes on while open; true when
    // used.
    bool HandleKey(const KeyEvent& event, double nowMs);
    bool HandleChar(const CharEvent& event, double nowMs);

    std::string_view ClassName() const override { return "ComboPanel"; }
    bool TakesHitsItself() const override { return true; }
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerLeave() override;
    void OnThemeChanged() override { m_layouts.clear(); }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void DrawRow(Canvas& canvas, std::int64_t row, const RectF& band) override;
    // The outline, over the rows: the list stands out from the window under it.
    void DrawChildren(Canvas& canvas) override;

private:
    void MoveTo(std::int64_t row);
    std::int64_t RowAtWindow(PointF windowPoint) const;

    const std::vector<std::u16string>& m_items;
    Models::SelectionModel m_selection;
    Models::TypeAhead m_typeAhead;
    std::int64_t m_hoverRow{-1};
    std::int64_t m_pressedRow{-1};
    std::vector<std::unique_ptr<TextLayout>> m_layouts;
    std::function<void(int)> m_onChosen;
    std::function<void()> m_onDismissed;
};

} // namespace Velto::Widget::Controls
