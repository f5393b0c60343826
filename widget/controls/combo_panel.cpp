#include "widget/controls/combo_panel.h"

#include "widget/input/key_codes.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Velto::Widget::Controls {
namespace {

constexpr float kRowInsetX = 4;
constexpr float kRowInsetY = 2;
constexpr float kTextInset = 12;
constexpr float kMarkWidth = 3;
constexpr float kMarkHeight = 16;
constexpr float kMarkRadius = 1.5f;
constexpr float kSelectedAlphaLight = 0.15f;
constexpr float kSelectedAlphaDark = 0.26f;
constexpr float kSelectedHoverBoost = 0.07f;

} // namespace

ComboPanel::ComboPanel(const std::vector<std::u16string>& items, int selected) : m_items(items) {
    SetRowHeight(kRowHeight);
    SetTopPadding(kPadding);
    const auto count = static_cast<std::int64_t>(items.size());
    SetRowCountValue(count);
    m_selection.SetMode(Models::SelectionMode::Single);
    m_selection.SetRowCount(count);
    if (selected >= 0 && selected < count)
        m_selection.SelectOnly(selected);
    m_selection.AddListener([this](const Models::SelectionChange&) { RequestRedraw(); });
}

float ComboPanel::HeightFor(std::size_t itemCount) {
    const std::size_t rows =
        std::clamp<std::size_t>(itemCount, 1, static_cast<std::size_t>(kMaxVisibleRows));
    return static_cast<float>(rows) * kRowHeight + 2 * kPadding;
}

SizeF ComboPanel::MeasureOverride(SizeF available) {
    const float width = std::isinf(available.width) ? 0 : available.width;
    return SizeF{width, HeightFor(m_items.size())};
}

void ComboPanel::ArrangeOverride(SizeF size) {
    SetRowsArea(RectF{0, 0, size.width, size.height});
    VerticalBar().Arrange(RectF{size.width - List::ScrollBar::kThickness, kPadding,
                                List::ScrollBar::kThickness,
                                std::max(0.0f, size.height - 2 * kPadding)});
    // The chosen item is in view when the list opens.
    if (m_selection.Current() >= 0)
        ScrollRowIntoView(m_selection.Current(), false);
}

void ComboPanel::MoveTo(std::int64_t row) {
    if (m_items.empty())
        return;
    row = std::clamp<std::int64_t>(row, 0, static_cast<std::int64_t>(m_items.size()) - 1);
    m_selection.SelectOnly(row);
    ScrollRowIntoView(row);
}

bool ComboPanel::HandleKey(const KeyEvent& event, double nowMs) {
    const std::int64_t current = m_selection.Current();
    const std::int64_t page = std::max<std::int64_t>(1, kMaxVisibleRows - 1);
    const bool alt = (event.modifiers & kModAlt) != 0;
    switch (event.virtualKey) {
    case kKeyUp:
        if (alt) {
            if (m_onDismissed)
                m_onDismissed();
            return true;
        }
        MoveTo(current < 0 ? 0 : current - 1);
        return true;
    case kKeyDown:
        MoveTo(current < 0 ? 0 : current + 1);
        return true;
    case kKeyHome:
        MoveTo(0);
        return true;
    case kKeyEnd:
        MoveTo(static_cast<std::int64_t>(m_items.size()) - 1);
        return true;
    case kKeyPageUp:
        MoveTo(current - page);
        return true;
    case kKeyPageDown:
        MoveTo(current + page);
        return true;
    case kKeyEnter:
        if (current >= 0 && m_onChosen)
            m_onChosen(static_cast<int>(current));
        else if (m_onDismissed)
            m_onDismissed();
        return true;
    case kKeySpace:
        // Space without a search chooses, like Enter; during a search it is
        // text and arrives as a character.
        if (!m_typeAhead.IsRunning(nowMs) && current >= 0 && m_onChosen)
            m_onChosen(static_cast<int>(current));
        return true;
    case kKeyEscape:
    case kKeyTab:
        if (m_onDismissed)
            m_onDismissed();
        return event.virtualKey == kKeyEscape;
    default:
        break;
    }
    if (event.virtualKey == KeyF(4)) {
        if (m_onDismissed)
            m_onDismissed();
        return true;
    }
    // Other keys stay with the open list.
    return true;
}

bool ComboPanel::HandleChar(const CharEvent& event, double nowMs) {
    if (event.typedWithAlt || !Models::TypeAhead::Accepts(event.character))
        return false;
    // The character of a Space key: the key itself already chose or, in
    // the box, opened the list.
    if (event.character == U' ' && !m_typeAhead.IsRunning(nowMs))
        return true;
    m_typeAhead.Type(event.character, nowMs);
    const std::int64_t found = m_typeAhead.Find(
        static_cast<std::int64_t>(m_items.size()), m_selection.Current(), [this](std::int64_t row) {
            return std::u16string_view(m_items[static_cast<std::size_t>(row)]);
        });
    if (found >= 0)
        MoveTo(found);
    return true;
}

std::int64_t ComboPanel::RowAtWindow(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    const float x = windowPoint.x - bounds.x;
    const float y = windowPoint.y - bounds.y;
    if (x < 0 || x >= ActualWidth())
        return -1;
    return RowAt(y - RowsArea().y);
}

bool ComboPanel::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left)
        return true;
    m_pressedRow = RowAtWindow(event.position);
    return true;
}

bool ComboPanel::OnPointerMove(const PointerEvent& event) {
    const std::int64_t row = RowAtWindow(event.position);
    if (row != m_hoverRow) {
        m_hoverRow = row;
        RequestRedraw();
    }
    return true;
}

bool ComboPanel::OnPointerUp(const PointerEvent& event) {
    if (event.button != PointerButton::Left)
        return true;
    const std::int64_t row = RowAtWindow(event.position);
    const std::int64_t pressed = std::exchange(m_pressedRow, -1);
    if (row >= 0 && row == pressed && m_onChosen)
        m_onChosen(static_cast<int>(row));
    return true;
}

void ComboPanel::OnPointerLeave() {
    m_hoverRow = -1;
    RequestRedraw();
}

void ComboPanel::DrawChildren(Canvas& canvas) {
    VirtualRowsView::DrawChildren(canvas);
    const float hairline = canvas.Hairline();
    const RectF box = canvas.SnapToPixels(RectF{0, 0, ActualWidth(), ActualHeight()});
    canvas.StrokeRect(RectF{box.x + hairline / 2, box.y + hairline / 2, box.width - hairline,
                            box.height - hairline},
                      GetTheme().flyoutStroke, hairline);
}

void ComboPanel::DrawRow(Canvas& canvas, std::int64_t row, const RectF& band) {
    const Theme& theme = GetTheme();
    const RectF box{band.x + kRowInsetX, band.y + kRowInsetY, band.width - 2 * kRowInsetX,
                    band.height - 2 * kRowInsetY};
    const bool selected = m_selection.IsSelected(row);
    const bool hovered = row == m_hoverRow;
    Color text = theme.textPrimary;
    if (selected && theme.highContrast) {
        canvas.FillRoundedRect(box, theme.controlCornerRadius, theme.accent);
        text = theme.textOnAccent;
    } else if (selected) {
        float alpha = theme.kind == ThemeKind::Dark ? kSelectedAlphaDark : kSelectedAlphaLight;
        if (hovered)
            alpha += kSelectedHoverBoost;
        canvas.FillRoundedRect(box, theme.controlCornerRadius, theme.accent.WithAlpha(alpha));
        canvas.FillRoundedRect(
            RectF{box.x, band.y + (band.height - kMarkHeight) / 2, kMarkWidth, kMarkHeight},
            kMarkRadius, theme.accent);
    } else if (hovered) {
        canvas.FillRoundedRect(box, theme.controlCornerRadius, theme.subtleFillHover);
    }
    if (m_layouts.size() != m_items.size())
        m_layouts.resize(m_items.size());
    auto& layout = m_layouts[static_cast<std::size_t>(row)];
    const float width = std::max(1.0f, band.width - 2 * kTextInset);
    if (!layout || layout->MaxWidth() != width) {
        TextFormat format;
        format.size = theme.bodySize;
        TextOptions options;
        options.trimming = TextTrimming::CharacterEllipsis;
        layout = std::make_unique<TextLayout>(m_items[static_cast<std::size_t>(row)], format,
                                              options, width);
    }
    canvas.DrawTextLayout(
        *layout,
        PointF{band.x + kTextInset, band.y + std::round((band.height - layout->Size().height) / 2)},
        text);
}

} // namespace Velto::Widget::Controls
