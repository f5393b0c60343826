#pragma once

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

// 96 DPI is 100 %.
constexpr float kBaseDpi = 96.0f;

// A hairline is max(1, round(scale)) device pixels, halves rounded away from
// zero: 1 pixel at 100 % and 125 %, 2 pixels from 150 % to below 250 %.
inline int HairlinePixels(float scale) {
    return std::max(1, static_cast<int>(std::round(scale)));
}

// The same hairline in DIPs.
inline float HairlineDips(float scale) {
    return static_cast<float>(HairlinePixels(scale)) / scale;
}

} // namespace Velto::Widget
