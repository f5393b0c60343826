#include "app/desktop/screenshots/shot_scale.h"

#include <charconv>

namespace App {

std::optional<float> ShotScaleFromText(std::string_view text) {
    if (text.empty())
        return 1.0f;
    // Digits and one point only: no sign, exponent, "inf" or "nan".
    if (text.find_first_not_of("0123456789.") != std::string_view::npos)
        return std::nullopt;
    float scale = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), scale);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    if (!(scale >= kMinShotScale && scale <= kMaxShotScale))
        return std::nullopt;
    return scale;
}

} // namespace App
