#pragma once

#include "webapp/thumbnails/flatten_on_white.h"

#include <optional>
#include <string>

namespace Velto::Corvane {

constexpr int kThumbnailJpegQuality = 85;

// The image as a baseline JPEG of quality 85; none when encoding fails.
std::optional<std::string> EncodeJpeg(const BgrImage& image);

} // namespace Velto::Corvane
