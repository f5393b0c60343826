#pragma once

#include "widget/core/widget.h"

namespace Velto::Widget {

// One glyph of the icon font, named by its Windows icon-font code point.
class Icon : public Widget {
public:
    explicit Icon(char32_t glyph = 0, float size = 0, Tone tone = Tone::Primary)
        : m_glyph(glyph), m_size(size), m_tone(tone) {}

    char32_t Glyph() const { return m_glyph; }
    void SetGlyph(char32_t glyph);
    // 0 means the theme's icon size.
    void SetSize(float size);
    void SetTone(Tone tone);

    std::string_view ClassName() const override { return "Icon"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    float EffectiveSize() const;

    char32_t m_glyph{0};
    float m_size{0};
    Tone m_tone{Tone::Primary};
};

} // namespace Velto::Widget
