#pragma once

#include "thumbnailer/thumbnail_bitmap.h"

#include <cstddef>
#include <string>

namespace Velto::Corvane {

// Rows of 24-bit blue-green-red pixels, each row padded to a multiple of 4
// bytes.
struct BgrImage {
    std::uint32_t width{0};
    std::uint32_t height{0};
    std::size_t stride{0};
    std::string bytes;
};

// Places the premultiplied bitmap on a white background: each colour byte
// becomes min(colour + 255 - alpha, 255).
BgrImage FlattenOnWhite(const ThumbnailBitmap& bitmap);

} // namespace Velto::Corvane
