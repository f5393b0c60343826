#pragma once

#include "base/result.h"
#include "widget/render/canvas.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace Velto::Widget {

// One pixel as straight (not premultiplied) 8-bit channels.
struct Rgba8 {
    std::uint8_t r{0};
    std::uint8_t g{0};
    std::uint8_t b{0};
    std::uint8_t a{0};

    friend bool operator==(const Rgba8&, const Rgba8&) = default;
};

// The canvas on a Cairo image surface in premultiplied BGRA; text through
// PangoCairo.
class CairoCanvas final : public Canvas {
public:
    // Draws into a new surface of the given size in device pixels.
    CairoCanvas(int pixelWidth, int pixelHeight, float scale);
    // Draws into the caller's pixels (premultiplied BGRA), which must outlive
    // the canvas; `stride` must suit Cairo's ARGB32 format.
    CairoCanvas(std::uint8_t* pixels, int pixelWidth, int pixelHeight, int stride, float scale);
    ~CairoCanvas() override;
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    bool IsValid() const;
    int PixelWidth() const { return m_pixelWidth; }
    int PixelHeight() const { return m_pixelHeight; }
    // Finishes pending drawing and reads one device pixel (none outside).
    Rgba8 PixelAt(int x, int y);
    Result WritePng(const std::string& path);

    float Scale() const override { return m_scale; }
    void Clear(Color color) override;
    void FillRect(const RectF& rect, Color color) override;
    void StrokeRect(const RectF& rect, Color color, float width) override;
    void FillRoundedRect(const RectF& rect, float radius, Color color) override;
    void StrokeRoundedRect(const RectF& rect, float radius, Color color, float width) override;
    void FillEllipse(PointF center, float radiusX, float radiusY, Color color) override;
    void DrawLine(PointF from, PointF to, Color color, float width) override;
    void DrawTextLayout(const TextLayout& layout, PointF origin, Color color) override;
    void DrawIconGlyph(char32_t glyph, PointF topLeft, float size, Color color) override;
    void DrawBitmap(const Bitmap& bitmap, const RectF& source, const RectF& destination,
                    float opacity, Interpolation interpolation) override;
    void PushClip(const RectF& rect) override;
    void PopClip() override;
    void PushOffset(float dx, float dy) override;
    void PopOffset() override;
    void PushOpacity(float opacity) override;
    void PopOpacity() override;
    bool IsVisible(const RectF& rect) const override;
    RectF SnapToPixels(const RectF& rect) const override;

private:
    void Init(float scale);
    void SetColor(Color color);
    void RoundedRectPath(const RectF& rect, float radius);
    bool IsPixelAligned(const RectF& rect) const;
    bool StrokeAlignedRoundedRect(const RectF& rect, float radius, float width);

    cairo_surface_t* m_surface{nullptr};
    cairo_t* m_cr{nullptr};
    int m_pixelWidth{0};
    int m_pixelHeight{0};
    float m_scale{1};
    PointF m_offset;                // the sum of the pushed offsets
    RectF m_clip;                   // the current clip in DIPs of the target
    std::vector<RectF> m_clipStack; // the clips outside the current one
    std::vector<PointF> m_offsetStack;
    std::vector<float> m_opacityStack;
};

} // namespace Velto::Widget
