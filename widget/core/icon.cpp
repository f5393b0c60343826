#include "widget/core/icon.h"

#include "widget/render/canvas.h"

namespace Velto::Widget {

void Icon::SetGlyph(char32_t glyph) {
    if (m_glyph == glyph)
        return;
    m_glyph = glyph;
    RequestRedraw();
}

void Icon::SetSize(float size) {
    if (m_size == size)
        return;
    m_size = size;
    InvalidateMeasure();
}

void Icon::SetTone(Tone tone) {
    if (m_tone == tone)
        return;
    m_tone = tone;
    RequestRedraw();
}

float Icon::EffectiveSize() const {
    return m_size > 0 ? m_size : GetTheme().iconSize;
}

SizeF Icon::MeasureOverride(SizeF) {
    const float size = EffectiveSize();
    return SizeF{size, size};
}

void Icon::Draw(Canvas& canvas) {
    const float size = EffectiveSize();
    const Theme& theme = GetTheme();
    const Color color = IsEnabled() ? ToneColor(theme, m_tone) : theme.textTertiary;
    canvas.DrawIconGlyph(m_glyph, PointF{(ActualWidth() - size) / 2, (ActualHeight() - size) / 2},
                         size, color);
}

} // namespace Velto::Widget
