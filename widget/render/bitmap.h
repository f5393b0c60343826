#pragma once

#include "widget/render/geometry.h"

#include <cstdint>
#include <memory>
#include <span>

typedef struct _cairo_surface cairo_surface_t;

namespace Velto::Widget {

// An immutable image in premultiplied 32-bit BGRA (byte order B, G, R, A),
// with the DPI it was made for: 96 means one pixel per DIP.
class Bitmap {
public:
    // Copies the pixels; none when the size or the buffer is not usable.
    static std::shared_ptr<const Bitmap> FromBgra(int width, int height, int stride,
                                                  std::span<const std::uint8_t> pixels,
                                                  float dpi = 96.0f);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int PixelWidth() const { return m_width; }
    int PixelHeight() const { return m_height; }
    float Dpi() const { return m_dpi; }
    // The size in DIPs.
    SizeF Size() const;
    cairo_surface_t* NativeSurface() const { return m_surface; }

private:
    struct Passkey {};

public:
    Bitmap(Passkey, cairo_surface_t* surface, int width, int height, float dpi);

private:
    cairo_surface_t* m_surface{nullptr};
    int m_width{0};
    int m_height{0};
    float m_dpi{96.0f};
};

} // namespace Velto::Widget
