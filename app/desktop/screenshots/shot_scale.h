#pragma once

#include <optional>
#include <string_view>

namespace App {

// The scale the screenshot mode renders at (VELTO_CORVANE_SHOTS_SCALE): a
// plain decimal from 1 to 4 ("2" is what a desktop at 192 DPI shows), 1 when
// the text is empty; none for anything else.
inline constexpr float kMinShotScale = 1;
inline constexpr float kMaxShotScale = 4;
std::optional<float> ShotScaleFromText(std::string_view text);

} // namespace App
