#include "webapp/thumbnails/thumbnail_size.h"

namespace Velto::Corvane {

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::uint32_t ThumbnailPixels(std::string_view size) {
    if (size.empty())
        return kDefaultThumbnailPixels;
    std::size_t at = 0;
    while (at < size.size() && IsCSpace(size[at]))
        ++at;
    bool negative = false;
    if (at < size.size() && (size[at] == '+' || size[at] == '-')) {
        negative = size[at] == '-';
        ++at;
    }
    // Anything past the maximum clamps the same way, so counting stops there
    // instead of overflowing.
    std::uint32_t value = 0;
    for (; at < size.size() && size[at] >= '0' && size[at] <= '9'; ++at) {
        value = value * 10 + static_cast<std::uint32_t>(size[at] - '0');
        if (value > kMaxThumbnailPixels)
            value = kMaxThumbnailPixels + 1;
    }
    if (negative || value < kMinThumbnailPixels)
        return kMinThumbnailPixels;
    return value > kMaxThumbnailPixels ? kMaxThumbnailPixels : value;
}

} // namespace Velto::Corvane
