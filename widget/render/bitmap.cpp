#include "widget/render/bitmap.h"

#include "widget/render/units.h"

#include <cairo.h>

#include <cstring>

namespace Velto::Widget {
namespace {

// Far beyond any image the program shows; keeps the byte count in range.
constexpr int kMaxBitmapSide = 16384;

} // namespace

std::shared_ptr<const Bitmap> Bitmap::FromBgra(int width, int height, int stride,
                                               std::span<const std::uint8_t> pixels, float dpi) {
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        stride < width * 4 || !(dpi > 0))
        return nullptr;
    if (pixels.size() < static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1) +
                            static_cast<std::size_t>(width) * 4)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    // Cairo's ARGB32 is premultiplied and native-endian: B, G, R, A in memory
    // on this little-endian target, the same bytes as the source.
    cairo_surface_flush(surface);
    std::uint8_t* dst = cairo_image_surface_get_data(surface);
    const int dstStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + static_cast<std::size_t>(y) * static_cast<std::size_t>(dstStride),
                    pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                    static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    return std::make_shared<const Bitmap>(Passkey{}, surface, width, height, dpi);
}

Bitmap::Bitmap(Passkey, cairo_surface_t* surface, int width, int height, float dpi)
    : m_surface(surface), m_width(width), m_height(height), m_dpi(dpi) {}

Bitmap::~Bitmap() {
    cairo_surface_destroy(m_surface);
}

SizeF Bitmap::Size() const {
    return SizeF{static_cast<float>(m_width) * kBaseDpi / m_dpi,
                 static_cast<float>(m_height) * kBaseDpi / m_dpi};
}

} // namespace Velto::Widget
