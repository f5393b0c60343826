#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// What the thumbnail helper hands back: top-down rows of premultiplied
// blue-green-red-alpha pixels, without padding.
struct ThumbnailBitmap {
    std::uint32_t width{0};
    std::uint32_t height{0};
    std::string bgra; // width * height * 4 bytes
};

// The helper's reply on its standard output: this magic, the width and the
// height (32-bit little-endian each), then the pixels. Anything else,
// including no reply at all, means the file has no thumbnail.
constexpr std::string_view kThumbnailReplyMagic = "VCTB";
constexpr std::size_t kThumbnailReplyHeaderBytes = 12;
// Bitmaps larger than this in either direction are refused, not converted.
constexpr std::uint32_t kMaxThumbnailBitmapEdge = 4096;

} // namespace Velto::Corvane
