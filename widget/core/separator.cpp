#include "widget/core/separator.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

constexpr float kThickness = 1; // DIPs across the line

} // namespace

void Separator::SetOrientation(Orientation orientation) {
    if (m_orientation == orientation)
        return;
    m_orientation = orientation;
    InvalidateMeasure();
}

SizeF Separator::MeasureOverride(SizeF available) {
    if (m_orientation == Orientation::Horizontal)
        return SizeF{std::isinf(available.width) ? 0.0f : available.width, kThickness};
    return SizeF{kThickness, std::isinf(available.height) ? 0.0f : available.height};
}

void Separator::Draw(Canvas& canvas) {
    // One device pixel, but at least one DIP, on whole pixels.
    const float thickness = std::max(kThickness, 1.0f / canvas.Scale());
    const Color color = GetTheme().dividerStroke;
    if (m_orientation == Orientation::Horizontal)
        canvas.FillRect(canvas.SnapToPixels(RectF{0, 0, ActualWidth(), thickness}), color);
    else
        canvas.FillRect(canvas.SnapToPixels(RectF{0, 0, thickness, ActualHeight()}), color);
}

} // namespace Velto::Widget
