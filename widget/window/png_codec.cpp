#include "widget/window/png_codec.h"

#include "widget/render/bitmap.h"

#include <cairo.h>

#include <cstring>

namespace Velto::Widget {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t position{0};
};

cairo_status_t Read(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<Reader*>(closure);
    if (reader->bytes.size() - reader->position < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes.data() + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap) {
    std::vector<std::uint8_t> out;
    cairo_surface_t* surface = bitmap.NativeSurface();
    if (surface == nullptr)
        return out;
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png_stream(surface, Append, &out) != CAIRO_STATUS_SUCCESS)
        out.clear();
    return out;
}

std::shared_ptr<const Bitmap> DecodePng(std::span<const std::uint8_t> bytes) {
    Reader reader{bytes, 0};
    const SurfacePtr decoded(cairo_image_surface_create_from_png_stream(Read, &reader));
    if (cairo_surface_status(decoded.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    const int width = cairo_image_surface_get_width(decoded.get());
    const int height = cairo_image_surface_get_height(decoded.get());
    // Whatever the PNG held (grey, RGB, RGBA), as premultiplied BGRA.
    const SurfacePtr argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(argb.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_t* cr = cairo_create(argb.get());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, decoded.get(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(argb.get());
    const int stride = cairo_image_surface_get_stride(argb.get());
    const unsigned char* pixels = cairo_image_surface_get_data(argb.get());
    if (pixels == nullptr)
        return nullptr;
    return Bitmap::FromBgra(
        width, height, stride,
        std::span<const std::uint8_t>(pixels, static_cast<std::size_t>(stride) * height));
}

} // namespace Velto::Widget
