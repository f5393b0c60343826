#include "widget/tray/icon_pixmap.h"

#include <cairo.h>

#include <algorithm>

namespace Velto::Widget::Kit {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

// Reads an image surface of cairo's native ARGB32 (premultiplied, one
// 32-bit word per pixel) into straight network-order bytes.
IconPixmap FromSurface(cairo_surface_t* surface) {
    IconPixmap pixmap;
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (data == nullptr || width <= 0 || height <= 0 ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
        return pixmap;
    pixmap.width = width;
    pixmap.height = height;
    pixmap.argb.resize(static_cast<std::size_t>(width) * height * 4);
    std::uint8_t* out = pixmap.argb.data();
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x, out += 4) {
            const std::uint32_t word = row[x];
            const unsigned a = word >> 24;
            unsigned r = (word >> 16) & 0xFF, g = (word >> 8) & 0xFF, b = word & 0xFF;
            if (a != 0 && a != 0xFF) {
                r = std::min(255u, (r * 255 + a / 2) / a);
                g = std::min(255u, (g * 255 + a / 2) / a);
                b = std::min(255u, (b * 255 + a / 2) / a);
            }
            out[0] = static_cast<std::uint8_t>(a);
            out[1] = static_cast<std::uint8_t>(r);
            out[2] = static_cast<std::uint8_t>(g);
            out[3] = static_cast<std::uint8_t>(b);
        }
    }
    return pixmap;
}

IconPixmap Scaled(const Bitmap& bitmap, int size) {
    SurfacePtr target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
    if (cairo_surface_status(target.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    const double scale = std::min(static_cast<double>(size) / bitmap.PixelWidth(),
                                  static_cast<double>(size) / bitmap.PixelHeight());
    ContextPtr cr(cairo_create(target.get()));
    cairo_translate(cr.get(), (size - bitmap.PixelWidth() * scale) / 2,
                    (size - bitmap.PixelHeight() * scale) / 2);
    cairo_scale(cr.get(), scale, scale);
    cairo_set_source_surface(cr.get(), bitmap.NativeSurface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_paint(cr.get());
    cr.reset();
    return FromSurface(target.get());
}

} // namespace

IconPixmap PixmapFromBitmap(const Bitmap& bitmap) {
    if (bitmap.NativeSurface() == nullptr)
        return {};
    return FromSurface(bitmap.NativeSurface());
}

std::vector<IconPixmap> RenderIconPixmaps(const TrayIconImage& image) {
    std::vector<IconPixmap> pixmaps;
    for (const int size : kTrayIconSizes) {
        IconPixmap pixmap;
        if (image.provider) {
            const std::shared_ptr<const Bitmap> drawn = image.provider(size);
            if (drawn && drawn->PixelWidth() == size && drawn->PixelHeight() == size)
                pixmap = PixmapFromBitmap(*drawn);
            else if (drawn && drawn->PixelWidth() > 0 && drawn->PixelHeight() > 0)
                pixmap = Scaled(*drawn, size);
        } else if (image.bitmap && image.bitmap->PixelWidth() > 0 &&
                   image.bitmap->PixelHeight() > 0) {
            pixmap = Scaled(*image.bitmap, size);
        }
        if (!pixmap.argb.empty())
            pixmaps.push_back(std::move(pixmap));
    }
    return pixmaps;
}

} // namespace Velto::Widget::Kit
