#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

constexpr std::uint32_t kDefaultThumbnailPixels = 256;
constexpr std::uint32_t kMinThumbnailPixels = 32;
constexpr std::uint32_t kMaxThumbnailPixels = 512;

// The edge of a thumbnail from the "size" parameter: 256 when it is empty;
// otherwise read the way atoi reads (leading white space and a sign, digits
// up to the first non-digit, none gives 0), then held within 32 to 512.
std::uint32_t ThumbnailPixels(std::string_view size);

} // namespace Velto::Corvane
