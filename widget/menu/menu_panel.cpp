#include "widget/menu/menu_panel.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::Menus {
namespace {

constexpr float kUnderlineThickness = 1;

// The shown text of a menu label and where its access key sits in it: a
// single "&" marks the next character and is not shown, "&&" shows one "&".
struct ShownLabel {
    std::u16string text;
    std::optional<std::size_t> accessKey;
};

ShownLabel ParseLabel(std::u16string_view label) {
    ShownLabel shown;
    shown.text.reserve(label.size());
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] != u'&') {
            shown.text.push_back(label[i]);
            continue;
        }
        if (i + 1 >= label.size())
            break;
        ++i;
        if (label[i] != u'&' && !shown.accessKey)
            shown.accessKey = shown.text.size();
        shown.text.push_back(label[i]);
    }
    return shown;
}

} // namespace

void MenuPanel::SetItems(std::vector<MenuItem> items) {
    m_items = std::move(items);
    m_rows.clear();
    m_rowsBuilt = false;
    if (m_hot >= static_cast<int>(m_items.size()))
        m_hot = -1;
    InvalidateMeasure();
    RequestRedraw();
}

void MenuPanel::SetHot(int index) {
    if (index < -1 || index >= static_cast<int>(m_items.size()))
        index = -1;
    if (index == m_hot)
        return;
    m_hot = index;
    RequestRedraw();
}

void MenuPanel::SetAccessKeyCues(bool shown) {
    if (shown == m_cues)
        return;
    m_cues = shown;
    RequestRedraw();
}

void MenuPanel::OnThemeChanged() {
    m_rows.clear();
    m_rowsBuilt = false;
}

void MenuPanel::BuildRows() {
    if (m_rowsBuilt)
        return;
    m_rowsBuilt = true;
    m_rows.clear();
    m_rows.reserve(m_items.size());
    TextFormat format;
    format.size = GetTheme().bodySize;
    format.weight = kWeightRegular;
    float top = kPadding;
    for (const MenuItem& item : m_items) {
        Row row;
        row.top = top;
        if (item.IsSeparator()) {
            row.height = kSeparatorHeight;
        } else {
            row.height = kItemHeight;
            ShownLabel label = ParseLabel(item.text);
            row.underline = label.accessKey;
            row.text = std::make_unique<TextLayout>(label.text, format, TextOptions{});
            if (!item.shortcut.empty())
                row.shortcut = std::make_unique<TextLayout>(item.shortcut, format, TextOptions{});
        }
        top += row.height;
        m_rows.push_back(std::move(row));
    }
}

SizeF MenuPanel::MeasureOverride(SizeF) {
    BuildRows();
    if (m_rows.empty())
        return SizeF{kMinWidth, 2 * kPadding};
    float widestText = 0;
    float widestShortcut = 0;
    bool anyShortcut = false;
    bool anySubmenu = false;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows[i];
        if (row.text)
            widestText = std::max(widestText, row.text->Size().width);
        if (row.shortcut) {
            anyShortcut = true;
            widestShortcut = std::max(widestShortcut, row.shortcut->Size().width);
        }
        anySubmenu = anySubmenu || m_items[i].IsSubmenu();
    }
    float width = widestText + kLeadingColumn;
    if (anyShortcut)
        width += widestShortcut + kShortcutGap;
    width += anySubmenu ? kSubmenuColumn : kPlainEnd;
    const Row& last = m_rows.back();
    return SizeF{std::max(width, kMinWidth), last.top + last.height + kPadding};
}

bool MenuPanel::OnPointerMove(const PointerEvent& event) {
    if (!m_pointerSink)
        return false;
    m_pointerSink(PointerPhase::Move, event);
    return true;
}

bool MenuPanel::OnPointerDown(const PointerEvent& event) {
    if (!m_pointerSink)
        return false;
    m_pointerSink(PointerPhase::Down, event);
    return true;
}

bool MenuPanel::OnPointerUp(const PointerEvent& event) {
    if (!m_pointerSink)
        return false;
    m_pointerSink(PointerPhase::Up, event);
    return true;
}

RectF MenuPanel::ItemBounds(int index) const {
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return RectF{};
    // Bands depend on the kinds alone, so they are known before any text is
    // laid out.
    float top = kPadding;
    for (int i = 0; i < index; ++i)
        top += m_items[static_cast<std::size_t>(i)].IsSeparator() ? kSeparatorHeight : kItemHeight;
    const float height =
        m_items[static_cast<std::size_t>(index)].IsSeparator() ? kSeparatorHeight : kItemHeight;
    return RectF{0, top, ActualWidth(), height};
}

int MenuPanel::ItemAt(PointF point) const {
    if (point.x < 0 || point.x >= ActualWidth() || point.y < kPadding)
        return -1;
    float top = kPadding;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const float height = m_items[i].IsSeparator() ? kSeparatorHeight : kItemHeight;
        if (point.y < top + height)
            return static_cast<int>(i);
        top += height;
    }
    return -1;
}

void MenuPanel::Draw(Canvas& canvas) {
    BuildRows();
    const Theme& theme = GetTheme();
    const float width = ActualWidth();
    const float height = ActualHeight();
    // The popup clears to the same colour; filling here keeps the panel
    // right wherever it is drawn.
    canvas.FillRect(RectF{0, 0, width, height}, theme.flyoutBackground);

    const bool cues = m_cues || (GetHost() != nullptr && GetHost()->AccessKeyCuesShown());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows[i];
        const MenuItem& item = m_items[i];
        if (item.IsSeparator()) {
            DrawSeparator(canvas, row);
            continue;
        }
        if (static_cast<int>(i) == m_hot && item.enabled) {
            canvas.FillRoundedRect(RectF{kHotInset, row.top, width - 2 * kHotInset, row.height},
                                   theme.controlCornerRadius, theme.subtleFillHover);
        }
        DrawItem(canvas, item, row, cues);
    }

    // The outline lies inside the box, one hairline wide.
    const float hairline = canvas.Hairline();
    const RectF box = canvas.SnapToPixels(RectF{0, 0, width, height});
    canvas.StrokeRect(RectF{box.x + hairline / 2, box.y + hairline / 2, box.width - hairline,
                            box.height - hairline},
                      theme.flyoutStroke, hairline);
}

void MenuPanel::DrawSeparator(Canvas& canvas, const Row& row) const {
    const Theme& theme = GetTheme();
    // One DIP, or one device pixel when that is thicker.
    const float thickness = std::max(1.0f, 1.0f / canvas.Scale());
    const float middle = row.top + row.height / 2;
    const RectF line = canvas.SnapToPixels(RectF{kSeparatorInset, middle - thickness / 2,
                                                 ActualWidth() - 2 * kSeparatorInset, thickness});
    canvas.FillRect(RectF{line.x, line.y, line.width, std::max(line.height, thickness)},
                    theme.controlStroke);
}

void MenuPanel::DrawItem(Canvas& canvas, const MenuItem& item, const Row& row, bool cues) const {
    const Theme& theme = GetTheme();
    const float width = ActualWidth();
    const float middle = row.top + row.height / 2;
    const Color ink = item.enabled ? theme.textPrimary : theme.textTertiary;

    if (item.kind == MenuItemKind::Check && item.checked) {
        canvas.DrawIconGlyph(
            kCheckMarkGlyph,
            PointF{kMarkX + (kMarkWidth - kCheckGlyphSize) / 2, middle - kCheckGlyphSize / 2},
            kCheckGlyphSize, ink);
    } else if (item.kind == MenuItemKind::Radio && item.checked) {
        canvas.FillEllipse(PointF{kRadioCenterX, middle}, kRadioRadius, kRadioRadius, ink);
    } else if (item.iconGlyph != 0) {
        canvas.DrawIconGlyph(
            item.iconGlyph,
            PointF{kMarkX + (kMarkWidth - kIconGlyphSize) / 2, middle - kIconGlyphSize / 2},
            kIconGlyphSize, ink);
    }

    if (row.text) {
        const PointF origin{kLeadingColumn, middle - row.text->Size().height / 2};
        canvas.DrawTextLayout(*row.text, origin, ink);
        if (cues && row.underline && *row.underline < row.text->Text().size()) {
            const RectF start = row.text->CaretRect(*row.underline);
            const RectF end = row.text->CaretRect(*row.underline + 1);
            const float y = origin.y + start.Bottom() - kUnderlineThickness * 2;
            canvas.FillRect(
                RectF{origin.x + start.x, y, std::max(1.0f, end.x - start.x), kUnderlineThickness},
                ink);
        }
    }

    if (item.IsSubmenu()) {
        canvas.DrawIconGlyph(kChevronGlyph,
                             PointF{width - kChevronFromRight + (kChevronBox - kChevronSize) / 2,
                                    middle - kChevronSize / 2},
                             kChevronSize, ink);
    }

    if (row.shortcut) {
        const float end = width - (item.IsSubmenu() ? kShortcutEndOnSubmenu : kShortcutEnd);
        const Color tone = item.enabled ? theme.textSecondary : theme.textTertiary;
        canvas.DrawTextLayout(
            *row.shortcut,
            PointF{end - row.shortcut->Size().width, middle - row.shortcut->Size().height / 2},
            tone);
    }
}

} // namespace Velto::Widget::Menus
