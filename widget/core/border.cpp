#include "widget/core/border.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

void Border::SetPadding(const Thickness& padding) {
    if (m_padding == padding)
        return;
    m_padding = padding;
    InvalidateMeasure();
}

void Border::SetBackground(BorderBackground kind, Color color) {
    m_background = kind;
    m_backgroundColor = color;
    RequestRedraw();
}

void Border::SetOutline(BorderOutline kind, float thickness, Color color) {
    m_outline = kind;
    m_outlineThickness = thickness;
    m_outlineColor = color;
    RequestRedraw();
}

void Border::SetCornerRadius(float radius) {
    m_cornerRadius = radius;
    RequestRedraw();
}

SizeF Border::MeasureOverride(SizeF available) {
    const SizeF inner{std::max(0.0f, available.width - m_padding.Horizontal()),
                      std::max(0.0f, available.height - m_padding.Vertical())};
    SizeF largest;
    for (const auto& child : Children()) {
        child->Measure(inner);
        largest.width = std::max(largest.width, child->DesiredSize().width);
        largest.height = std::max(largest.height, child->DesiredSize().height);
    }
    return SizeF{largest.width + m_padding.Horizontal(), largest.height + m_padding.Vertical()};
}

void Border::ArrangeOverride(SizeF finalSize) {
    const RectF inner{m_padding.left, m_padding.top,
                      std::max(0.0f, finalSize.width - m_padding.Horizontal()),
                      std::max(0.0f, finalSize.height - m_padding.Vertical())};
    for (const auto& child : Children())
        child->Arrange(inner);
}

void Border::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const RectF box = canvas.SnapToPixels(RectF{0, 0, ActualWidth(), ActualHeight()});
    Color fill{};
    switch (m_background) {
    case BorderBackground::None:
        break;
    case BorderBackground::WindowBackground:
        fill = theme.windowBackground;
        break;
    case BorderBackground::CardBackground:
        fill = theme.cardBackground;
        break;
    case BorderBackground::FlyoutBackground:
        fill = theme.flyoutBackground;
        break;
    case BorderBackground::Explicit:
        fill = m_backgroundColor;
        break;
    }
    if (m_background != BorderBackground::None)
        canvas.FillRoundedRect(box, m_cornerRadius, fill);

    if (m_outline == BorderOutline::None)
        return;
    const Color stroke = m_outline == BorderOutline::Divider   ? theme.dividerStroke
                         : m_outline == BorderOutline::Control ? theme.controlStroke
                                                               : m_outlineColor;
    // Whole device pixels, at least one, stroked half its width inside the
    // box, so that the outline covers whole pixels along the edge.
    const float scale = canvas.Scale();
    const float width =
        static_cast<float>(std::max(1L, std::lround(m_outlineThickness * scale))) / scale;
    const float half = width / 2;
    const RectF line{box.x + half, box.y + half, std::max(0.0f, box.width - width),
                     std::max(0.0f, box.height - width)};
    canvas.StrokeRoundedRect(line, std::max(0.0f, m_cornerRadius - half), stroke, width);
}

} // namespace Velto::Widget
