#include "webapp/thumbnails/flatten_on_white.h"

#include <algorithm>

namespace Velto::Corvane {

BgrImage FlattenOnWhite(const ThumbnailBitmap& bitmap) {
    BgrImage image;
    image.width = bitmap.width;
    image.height = bitmap.height;
    image.stride = (static_cast<std::size_t>(bitmap.width) * 3 + 3) & ~std::size_t{3};
    image.bytes.assign(image.stride * bitmap.height, '\0');
    const auto* source = reinterpret_cast<const unsigned char*>(bitmap.bgra.data());
    for (std::uint32_t y = 0; y < bitmap.height; ++y) {
        auto* row = reinterpret_cast<unsigned char*>(image.bytes.data() + y * image.stride);
        for (std::uint32_t x = 0; x < bitmap.width; ++x, source += 4) {
            const unsigned lift = 255u - source[3];
            for (int c = 0; c < 3; ++c)
                row[x * 3 + c] = static_cast<unsigned char>(std::min(source[c] + lift, 255u));
        }
    }
    return image;
}

} // namespace Velto::Corvane
