#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace Velto::Widget {

class Bitmap;

// PNG bytes of a bitmap (straight alpha, as PNG keeps it); empty when it
// could not be encoded.
std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap);
// The image in PNG bytes, at 96 DPI; none when they are no readable PNG.
std::shared_ptr<const Bitmap> DecodePng(std::span<const std::uint8_t> bytes);

} // namespace Velto::Widget
