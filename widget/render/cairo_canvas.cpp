#include "widget/render/cairo_canvas.h"

#include "base/utf.h"
#include "widget/render/icon_glyphs.h"
#include "widget/render/pango_context.h"
#include "widget/render/text_format.h"
#include "widget/render/text_layout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <unordered_map>

namespace Velto::Widget {
namespace {

// Icon layouts are few (a glyph at a size); the cache is emptied when it
// reaches this many, which only a pathological caller would.
constexpr std::size_t kMaxCachedIconLayouts = 512;

// How near a device-pixel boundary an edge counts as on it.
constexpr float kAlignmentEpsilon = 1e-3f;

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using IconLayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

// A single Material Icons glyph with font fallback turned off, so that a
// glyph missing from the font can never be drawn from another font.
PangoLayout* IconLayout(char32_t codePoint, float size) {
    thread_local std::unordered_map<std::uint64_t, IconLayoutPtr> cache;
    std::uint32_t sizeBits = 0;
    static_assert(sizeof(sizeBits) == sizeof(size));
    std::memcpy(&sizeBits, &size, sizeof(size));
    const std::uint64_t key = (static_cast<std::uint64_t>(codePoint) << 32) | sizeBits;
    if (const auto it = cache.find(key); it != cache.end())
        return it->second.get();
    if (cache.size() >= kMaxCachedIconLayouts)
        cache.clear();

    PangoLayout* layout = pango_layout_new(SharedPangoContext());
    std::string utf8;
    AppendUtf8(utf8, codePoint);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, std::string(kIconFontFamily).c_str());
    pango_font_description_set_absolute_size(font, static_cast<double>(size) * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_fallback_new(FALSE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    cache.emplace(key, IconLayoutPtr(layout));
    return layout;
}

cairo_filter_t ToCairoFilter(Interpolation interpolation) {
    switch (interpolation) {
    case Interpolation::NearestNeighbor:
        return CAIRO_FILTER_NEAREST;
    case Interpolation::Linear:
        return CAIRO_FILTER_BILINEAR;
    case Interpolation::HighQualityCubic:
        return CAIRO_FILTER_BEST;
    }
    return CAIRO_FILTER_BILINEAR;
}

RectF Intersect(const RectF& a, const RectF& b) {
    const float left = std::max(a.x, b.x);
    const float top = std::max(a.y, b.y);
    const float right = std::min(a.Right(), b.Right());
    const float bottom = std::min(a.Bottom(), b.Bottom());
    return RectF{left, top, std::max(0.0f, right - left), std::max(0.0f, bottom - top)};
}

} // namespace

CairoCanvas::CairoCanvas(int pixelWidth, int pixelHeight, float scale)
    : m_pixelWidth(pixelWidth), m_pixelHeight(pixelHeight) {
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(pixelWidth, 0),
                                           std::max(pixelHeight, 0));
    Init(scale);
}

CairoCanvas::CairoCanvas(std::uint8_t* pixels, int pixelWidth, int pixelHeight, int stride,
                         float scale)
    : m_pixelWidth(pixelWidth), m_pixelHeight(pixelHeight) {
    m_surface = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, pixelWidth,
                                                    pixelHeight, stride);
    Init(scale);
}

void CairoCanvas::Init(float scale) {
    m_scale = scale > 0 ? scale : 1.0f;
    m_cr = cairo_create(m_surface);
    cairo_scale(m_cr, m_scale, m_scale);
    m_clip = RectF{0, 0, static_cast<float>(m_pixelWidth) / m_scale,
                   static_cast<float>(m_pixelHeight) / m_scale};
}

CairoCanvas::~CairoCanvas() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

bool CairoCanvas::IsValid() const {
    return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS &&
           cairo_status(m_cr) == CAIRO_STATUS_SUCCESS;
}

Rgba8 CairoCanvas::PixelAt(int x, int y) {
    if (x < 0 || y < 0 || x >= m_pixelWidth || y >= m_pixelHeight || !IsValid())
        return Rgba8{};
    cairo_surface_flush(m_surface);
    const std::uint8_t* row =
        cairo_image_surface_get_data(m_surface) +
        static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(m_surface);
    const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
    const std::uint8_t a = p[3];
    if (a == 0)
        return Rgba8{};
    auto straight = [a](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::min(255, (c * 255 + a / 2) / a));
    };
    return Rgba8{straight(p[2]), straight(p[1]), straight(p[0]), a};
}

Result CairoCanvas::WritePng(const std::string& path) {
    if (!IsValid())
        return kFail;
    cairo_surface_flush(m_surface);
    return cairo_surface_write_to_png(m_surface, path.c_str()) == CAIRO_STATUS_SUCCESS ? kOk
                                                                                       : kFail;
}

void CairoCanvas::SetColor(Color c) {
    cairo_set_source_rgba(m_cr, c.r, c.g, c.b, c.a);
}

void CairoCanvas::Clear(Color color) {
    cairo_save(m_cr);
    cairo_reset_clip(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
    SetColor(color);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void CairoCanvas::FillRect(const RectF& r, Color color) {
    SetColor(color);
    cairo_rectangle(m_cr, r.x, r.y, r.width, r.height);
    cairo_fill(m_cr);
}

void CairoCanvas::StrokeRect(const RectF& r, Color color, float width) {
    SetColor(color);
    cairo_set_line_width(m_cr, width);
    cairo_rectangle(m_cr, r.x, r.y, r.width, r.height);
    cairo_stroke(m_cr);
}

void CairoCanvas::RoundedRectPath(const RectF& r, float radius) {
    const double rad =
        std::clamp(static_cast<double>(radius), 0.0, std::min(r.width, r.height) / 2.0);
    constexpr double kQuarter = std::numbers::pi / 2;
    cairo_new_sub_path(m_cr);
    cairo_arc(m_cr, r.Right() - rad, r.y + rad, rad, -kQuarter, 0);
    cairo_arc(m_cr, r.Right() - rad, r.Bottom() - rad, rad, 0, kQuarter);
    cairo_arc(m_cr, r.x + rad, r.Bottom() - rad, rad, kQuarter, 2 * kQuarter);
    cairo_arc(m_cr, r.x + rad, r.y + rad, rad, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(m_cr);
}

void CairoCanvas::FillRoundedRect(const RectF& r, float radius, Color color) {
    if (!(radius > 0)) {
        FillRect(r, color);
        return;
    }
    SetColor(color);
    RoundedRectPath(r, radius);
    cairo_fill(m_cr);
}

bool CairoCanvas::IsPixelAligned(const RectF& r) const {
    auto aligned = [this](float v) {
        const float device = v * m_scale;
        return std::fabs(device - std::round(device)) < kAlignmentEpsilon;
    };
    return aligned(r.x + m_offset.x) && aligned(r.y + m_offset.y) &&
           aligned(r.Right() + m_offset.x) && aligned(r.Bottom() + m_offset.y);
}

// Stroking a whole rounded outline costs in proportion to the box's area
// (three to four times a plain rectangle at 200 %). When the outline's outer
// and inner edges lie on device pixels, its straight parts are four aligned
// rectangles, filled without coverage computation, and only the corners are
// stroked, ending flush (butt caps) on pixel boundaries.
bool CairoCanvas::StrokeAlignedRoundedRect(const RectF& r, float radius, float width) {
    const float half = width / 2;
    const RectF outer{r.x - half, r.y - half, r.width + width, r.height + width};
    const RectF inner{r.x + half, r.y + half, r.width - width, r.height - width};
    // A corner piece reaches the first pixel boundary past the curve.
    const float split = std::ceil((radius + half) * m_scale - kAlignmentEpsilon) / m_scale;
    if (!IsPixelAligned(outer) || !IsPixelAligned(inner) || 2 * split > outer.width ||
        2 * split > outer.height)
        return false;
    cairo_rectangle(m_cr, outer.x + split, outer.y, outer.width - 2 * split, width);
    cairo_rectangle(m_cr, outer.x + split, outer.Bottom() - width, outer.width - 2 * split, width);
    cairo_rectangle(m_cr, outer.x, outer.y + split, width, outer.height - 2 * split);
    cairo_rectangle(m_cr, outer.Right() - width, outer.y + split, width, outer.height - 2 * split);
    cairo_fill(m_cr);

    constexpr double kQuarter = std::numbers::pi / 2;
    const double rad = radius;
    cairo_set_line_width(m_cr, width);
    cairo_move_to(m_cr, r.x, outer.y + split);
    cairo_arc(m_cr, r.x + rad, r.y + rad, rad, 2 * kQuarter, 3 * kQuarter);
    cairo_line_to(m_cr, outer.x + split, r.y);
    cairo_move_to(m_cr, outer.Right() - split, r.y);
    cairo_arc(m_cr, r.Right() - rad, r.y + rad, rad, 3 * kQuarter, 4 * kQuarter);
    cairo_line_to(m_cr, r.Right(), outer.y + split);
    cairo_move_to(m_cr, r.Right(), outer.Bottom() - split);
    cairo_arc(m_cr, r.Right() - rad, r.Bottom() - rad, rad, 0, kQuarter);
    cairo_line_to(m_cr, outer.Right() - split, r.Bottom());
    cairo_move_to(m_cr, outer.x + split, r.Bottom());
    cairo_arc(m_cr, r.x + rad, r.Bottom() - rad, rad, kQuarter, 2 * kQuarter);
    cairo_line_to(m_cr, r.x, outer.Bottom() - split);
    cairo_stroke(m_cr);
    return true;
}

void CairoCanvas::StrokeRoundedRect(const RectF& r, float radius, Color color, float width) {
    const float rad = std::min(radius, std::min(r.width, r.height) / 2);
    if (!(rad > 0)) {
        StrokeRect(r, color, width);
        return;
    }
    SetColor(color);
    if (StrokeAlignedRoundedRect(r, rad, width))
        return;
    cairo_set_line_width(m_cr, width);
    RoundedRectPath(r, rad);
    cairo_stroke(m_cr);
}

void CairoCanvas::FillEllipse(PointF center, float radiusX, float radiusY, Color color) {
    if (!(radiusX > 0) || !(radiusY > 0))
        return;
    SetColor(color);
    cairo_save(m_cr);
    cairo_translate(m_cr, center.x, center.y);
    cairo_scale(m_cr, radiusX, radiusY);
    cairo_arc(m_cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(m_cr);
    cairo_fill(m_cr);
}

void CairoCanvas::DrawLine(PointF from, PointF to, Color color, float width) {
    SetColor(color);
    cairo_set_line_width(m_cr, width);
    cairo_move_to(m_cr, from.x, from.y);
    cairo_line_to(m_cr, to.x, to.y);
    cairo_stroke(m_cr);
}

void CairoCanvas::DrawTextLayout(const TextLayout& layout, PointF origin, Color color) {
    const PointF offset = layout.DrawOffset();
    SetColor(color);
    cairo_move_to(m_cr, origin.x + offset.x, origin.y + offset.y);
    pango_cairo_show_layout(m_cr, layout.NativeLayout());
}

void CairoCanvas::DrawIconGlyph(char32_t glyph, PointF topLeft, float size, Color color) {
    const char32_t codePoint = MapIconGlyph(glyph);
    if (codePoint == 0 || !(size > 0))
        return;
    PangoLayout* layout = IconLayout(codePoint, size);
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    const double width = static_cast<double>(logical.width) / PANGO_SCALE;
    const double height = static_cast<double>(logical.height) / PANGO_SCALE;
    SetColor(color);
    cairo_move_to(m_cr, topLeft.x + (size - width) / 2, topLeft.y + (size - height) / 2);
    pango_cairo_show_layout(m_cr, layout);
}

void CairoCanvas::DrawBitmap(const Bitmap& bitmap, const RectF& source, const RectF& destination,
                             float opacity, Interpolation interpolation) {
    if (source.IsEmpty() || destination.IsEmpty() || !(opacity > 0))
        return;
    cairo_save(m_cr);
    cairo_rectangle(m_cr, destination.x, destination.y, destination.width, destination.height);
    cairo_clip(m_cr);
    cairo_translate(m_cr, destination.x, destination.y);
    cairo_scale(m_cr, destination.width / source.width, destination.height / source.height);
    cairo_set_source_surface(m_cr, bitmap.NativeSurface(), -source.x, -source.y);
    cairo_pattern_t* pattern = cairo_get_source(m_cr);
    cairo_pattern_set_filter(pattern, ToCairoFilter(interpolation));
    // Edge pixels repeat outwards instead of fading into transparency.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(m_cr, std::min(opacity, 1.0f));
    cairo_restore(m_cr);
}

void CairoCanvas::PushClip(const RectF& r) {
    m_clipStack.push_back(m_clip);
    m_clip = Intersect(m_clip, RectF{r.x + m_offset.x, r.y + m_offset.y, r.width, r.height});
    cairo_save(m_cr);
    cairo_rectangle(m_cr, r.x, r.y, r.width, r.height);
    cairo_clip(m_cr);
}

void CairoCanvas::PopClip() {
    if (m_clipStack.empty())
        return;
    m_clip = m_clipStack.back();
    m_clipStack.pop_back();
    cairo_restore(m_cr);
}

void CairoCanvas::PushOffset(float dx, float dy) {
    m_offsetStack.push_back(m_offset);
    m_offset.x += dx;
    m_offset.y += dy;
    cairo_translate(m_cr, dx, dy);
}

void CairoCanvas::PopOffset() {
    if (m_offsetStack.empty())
        return;
    const PointF previous = m_offsetStack.back();
    m_offsetStack.pop_back();
    cairo_translate(m_cr, previous.x - m_offset.x, previous.y - m_offset.y);
    m_offset = previous;
}

void CairoCanvas::PushOpacity(float opacity) {
    m_opacityStack.push_back(std::clamp(opacity, 0.0f, 1.0f));
    cairo_push_group(m_cr);
}

void CairoCanvas::PopOpacity() {
    if (m_opacityStack.empty())
        return;
    const float opacity = m_opacityStack.back();
    m_opacityStack.pop_back();
    cairo_pop_group_to_source(m_cr);
    cairo_paint_with_alpha(m_cr, opacity);
}

bool CairoCanvas::IsVisible(const RectF& r) const {
    return RectF{r.x + m_offset.x, r.y + m_offset.y, r.width, r.height}.Intersects(m_clip);
}

RectF CairoCanvas::SnapToPixels(const RectF& r) const {
    const float left = std::round((r.x + m_offset.x) * m_scale);
    const float top = std::round((r.y + m_offset.y) * m_scale);
    const float right = std::round((r.Right() + m_offset.x) * m_scale);
    const float bottom = std::round((r.Bottom() + m_offset.y) * m_scale);
    return RectF{left / m_scale - m_offset.x, top / m_scale - m_offset.y, (right - left) / m_scale,
                 (bottom - top) / m_scale};
}

} // namespace Velto::Widget
