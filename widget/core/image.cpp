#include "widget/core/image.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

constexpr float kDisabledOpacity = 0.5f;

} // namespace

void Image::SetBitmap(std::shared_ptr<const Bitmap> bitmap) {
    m_bitmap = std::move(bitmap);
    InvalidateMeasure();
}

void Image::SetStretch(Stretch stretch) {
    if (m_stretch == stretch)
        return;
    m_stretch = stretch;
    InvalidateMeasure();
}

SizeF Image::MeasureOverride(SizeF available) {
    if (!m_bitmap)
        return SizeF{};
    SizeF size = m_bitmap->Size();
    if (m_stretch == Stretch::Uniform && std::isfinite(available.width) &&
        available.width < size.width && size.width > 0) {
        const float factor = available.width / size.width;
        size = SizeF{size.width * factor, size.height * factor};
    }
    return size;
}

void Image::Draw(Canvas& canvas) {
    if (!m_bitmap)
        return;
    const SizeF natural = m_bitmap->Size();
    if (!(natural.width > 0) || !(natural.height > 0))
        return;
    const RectF source{0, 0, static_cast<float>(m_bitmap->PixelWidth()),
                       static_cast<float>(m_bitmap->PixelHeight())};
    const float opacity = IsEnabled() ? 1.0f : kDisabledOpacity;
    if (m_stretch == Stretch::None) {
        canvas.DrawBitmap(*m_bitmap, source, RectF{0, 0, natural.width, natural.height}, opacity,
                          Interpolation::Linear);
        return;
    }
    const float factor = std::min(ActualWidth() / natural.width, ActualHeight() / natural.height);
    const float width = natural.width * factor;
    const float height = natural.height * factor;
    canvas.DrawBitmap(
        *m_bitmap, source,
        RectF{(ActualWidth() - width) / 2, (ActualHeight() - height) / 2, width, height}, opacity,
        Interpolation::HighQualityCubic);
}

} // namespace Velto::Widget
