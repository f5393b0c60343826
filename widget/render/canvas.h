#pragma once

#include "widget/render/bitmap.h"
#include "widget/render/color.h"
#include "widget/render/geometry.h"
#include "widget/render/units.h"

#include <cstdint>
#include <memory>
#include <span>

namespace Velto::Widget {

class TextLayout;

enum class Interpolation : std::int32_t { NearestNeighbor = 0, Linear = 1, HighQualityCubic = 2 };

// What widgets draw through. Coordinates are DIPs relative to the current
// offset; the canvas turns them into device pixels with its DPI scale.
// Strokes are centred on the geometry's outline, as in the other drawing
// libraries, so a crisp hairline inside a box is stroked half its width in.
class Canvas {
public:
    virtual ~Canvas() = default;

    // DPI / 96.
    virtual float Scale() const = 0;
    // A hairline, max(1, round(scale)) device pixels, in DIPs.
    float Hairline() const { return HairlineDips(Scale()); }

    virtual void Clear(Color color) = 0;
    virtual void FillRect(const RectF& rect, Color color) = 0;
    virtual void StrokeRect(const RectF& rect, Color color, float width) = 0;
    virtual void FillRoundedRect(const RectF& rect, float radius, Color color) = 0;
    virtual void StrokeRoundedRect(const RectF& rect, float radius, Color color, float width) = 0;
    virtual void FillEllipse(PointF center, float radiusX, float radiusY, Color color) = 0;
    virtual void DrawLine(PointF from, PointF to, Color color, float width) = 0;

    // The layout's origin goes to `origin` (moved by the layout's own offset).
    virtual void DrawTextLayout(const TextLayout& layout, PointF origin, Color color) = 0;
    // An icon given by its Windows icon-font code point, in a size x size box
    // at `topLeft`; a glyph without a counterpart draws nothing.
    virtual void DrawIconGlyph(char32_t glyph, PointF topLeft, float size, Color color) = 0;

    std::shared_ptr<const Bitmap> CreateBitmap(int width, int height, int stride,
                                               std::span<const std::uint8_t> bgra,
                                               float dpi = 96.0f) {
        return Bitmap::FromBgra(width, height, stride, bgra, dpi);
    }
    // `source` is in the bitmap's pixels, `destination` in DIPs.
    virtual void DrawBitmap(const Bitmap& bitmap, const RectF& source, const RectF& destination,
                            float opacity, Interpolation interpolation) = 0;

    // Nested pushes and pops; every push is matched by its own pop.
    virtual void PushClip(const RectF& rect) = 0;
    virtual void PopClip() = 0;
    virtual void PushOffset(float dx, float dy) = 0;
    virtual void PopOffset() = 0;
    // Everything drawn until the matching pop is composed at this opacity.
    virtual void PushOpacity(float opacity) = 0;
    virtual void PopOpacity() = 0;

    // False when nothing inside `rect` could show through the current clip;
    // painting skips such subtrees.
    virtual bool IsVisible(const RectF& rect) const = 0;
    // The rectangle with its edges moved onto device-pixel boundaries.
    virtual RectF SnapToPixels(const RectF& rect) const = 0;
};

} // namespace Velto::Widget
