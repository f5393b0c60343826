#pragma once

#include "widget/core/widget.h"
#include "widget/menu/menu_item.h"
#include "widget/render/text_layout.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Velto::Widget::Menus {

// Lays out and draws one level of a menu: the items stacked in bands, a
// leading column for check and radio marks or icons, the texts, a column of
// shortcut texts and the submenu chevrons. It only shows; the menu session
// decides which item is hot and what input does.
class MenuPanel final : public Widget {
public:
    // Bands: items stack from kPadding down, and kPadding closes the panel.
    static constexpr float kPadding = 4;
    static constexpr float kItemHeight = 32;
    static constexpr float kSeparatorHeight = 9;
    // The leading column, where check and radio marks and icons go.
    static constexpr float kLeadingColumn = 40;
    // Between the texts and the shortcut column, when any item has one.
    static constexpr float kShortcutGap = 32;
    // The right end of the panel: room for the chevron when any item opens
    // a submenu, else a plain margin.
    static constexpr float kSubmenuColumn = 32;
    static constexpr float kPlainEnd = 16;
    static constexpr float kMinWidth = 160;
    // The hot fill and the separators keep these off the panel's sides.
    static constexpr float kHotInset = 4;
    static constexpr float kSeparatorInset = 8;
    // The mark box, and what is drawn in it.
    static constexpr float kMarkX = 14;
    static constexpr float kMarkWidth = 16;
    static constexpr float kCheckGlyphSize = 12;
    static constexpr float kRadioCenterX = 22;
    static constexpr float kRadioRadius = 3.5f;
    static constexpr float kIconGlyphSize = 16;
    // The chevron of a submenu item: a glyph in a box that starts this far
    // from the right edge.
    static constexpr float kChevronSize = 10;
    static constexpr float kChevronBox = 16;
    static constexpr float kChevronFromRight = 28;
    // Where shortcut texts end, from the right edge.
    static constexpr float kShortcutEnd = 12;
    static constexpr float kShortcutEndOnSubmenu = 32;

    static constexpr char32_t kCheckMarkGlyph = 0xE73E;
    static constexpr char32_t kChevronGlyph = 0xE76C;

    MenuPanel() = default;

    void SetItems(std::vector<MenuItem> items);
    const std::vector<MenuItem>& Items() const { return m_items; }

    // The highlighted item; -1 for none.
    void SetHot(int index);
    int Hot() const { return m_hot; }

    // Underlines the access keys even when the host shows no cues (a menu
    // opened from the keyboard).
    void SetAccessKeyCues(bool shown);

    // An item's band in the panel's coordinates; empty for a bad index.
    RectF ItemBounds(int index) const;
    // The item whose band holds the point; -1 above, below or beside them.
    int ItemAt(PointF point) const;

    // The window showing the panel hands its pointer input on to the menu
    // session through this; positions stay in the panel's coordinates.
    enum class PointerPhase { Move, Down, Up };
    using PointerSink = std::function<void(PointerPhase, const PointerEvent&)>;
    void SetPointerSink(PointerSink sink) { m_pointerSink = std::move(sink); }

    std::string_view ClassName() const override { return "MenuPanel"; }
    bool TakesHitsItself() const override { return true; }
    bool OnPointerMove(const PointerEvent& event) override;
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;
    void OnThemeChanged() override;

private:
    struct Row {
        float top{0};
        float height{0};
        std::unique_ptr<TextLayout> text;
        std::unique_ptr<TextLayout> shortcut;
        // The access key's place in the shown text.
        std::optional<std::size_t> underline;
    };

    void BuildRows();
    void DrawItem(Canvas& canvas, const MenuItem& item, const Row& row, bool cues) const;
    void DrawSeparator(Canvas& canvas, const Row& row) const;

    std::vector<MenuItem> m_items;
    std::vector<Row> m_rows;
    bool m_rowsBuilt{false};
    int m_hot{-1};
    bool m_cues{false};
    PointerSink m_pointerSink;
};

} // namespace Velto::Widget::Menus
