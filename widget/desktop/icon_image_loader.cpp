#include "widget/desktop/icon_image_loader.h"

#include <cairo.h>
#if VELTO_DESKTOP_HAVE_RSVG
#include <librsvg/rsvg.h>
#endif

#include <algorithm>

namespace Velto::Widget::Kit {
namespace {

// Icons are small; a file that claims more is not an icon.
constexpr int kMaxIconSide = 1024;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::shared_ptr<const Bitmap> ToBitmap(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    if (data == nullptr)
        return nullptr;
    return Bitmap::FromBgra(width, height, stride,
                            std::span(data, static_cast<std::size_t>(stride) * height));
}

std::shared_ptr<const Bitmap> LoadPng(const std::string& path, int size) {
    SurfacePtr image(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    const int width = cairo_image_surface_get_width(image.get());
    const int height = cairo_image_surface_get_height(image.get());
    if (width <= 0 || height <= 0 || width > kMaxIconSide || height > kMaxIconSide)
        return nullptr;
    SurfacePtr target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
    if (cairo_surface_status(target.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    const double scale =
        std::min(static_cast<double>(size) / width, static_cast<double>(size) / height);
    ContextPtr cr(cairo_create(target.get()));
    cairo_translate(cr.get(), (size - width * scale) / 2, (size - height * scale) / 2);
    cairo_scale(cr.get(), scale, scale);
    cairo_set_source_surface(cr.get(), image.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_paint(cr.get());
    cr.reset();
    return ToBitmap(target.get());
}

#if VELTO_DESKTOP_HAVE_RSVG
std::shared_ptr<const Bitmap> LoadSvg(const std::string& path, int size) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(path.c_str(), &error);
    if (handle == nullptr) {
        g_clear_error(&error);
        return nullptr;
    }
    SurfacePtr target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
    std::shared_ptr<const Bitmap> bitmap;
    if (cairo_surface_status(target.get()) == CAIRO_STATUS_SUCCESS) {
        ContextPtr cr(cairo_create(target.get()));
        const RsvgRectangle viewport{0, 0, static_cast<double>(size), static_cast<double>(size)};
        if (rsvg_handle_render_document(handle, cr.get(), &viewport, &error)) {
            cr.reset();
            bitmap = ToBitmap(target.get());
        }
        g_clear_error(&error);
    }
    g_object_unref(handle);
    return bitmap;
}
#endif

} // namespace

bool CanDrawSvgIcons() {
    return VELTO_DESKTOP_HAVE_RSVG != 0;
}

std::shared_ptr<const Bitmap> LoadIconImage(const std::string& path, int size) {
    if (size <= 0 || size > kMaxIconSide)
        return nullptr;
    if (EndsWith(path, ".png"))
        return LoadPng(path, size);
#if VELTO_DESKTOP_HAVE_RSVG
    if (EndsWith(path, ".svg"))
        return LoadSvg(path, size);
#endif
    return nullptr;
}

} // namespace Velto::Widget::Kit
