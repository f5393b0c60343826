#pragma once

namespace Velto::Widget {

// Straight (not premultiplied) red, green, blue and alpha, each 0-1.
struct Color {
    float r{0};
    float g{0};
    float b{0};
    float a{1};

    static constexpr Color FromRgb8(int red, int green, int blue, float alpha = 1) {
        return Color{static_cast<float>(red) / 255.0f, static_cast<float>(green) / 255.0f,
                     static_cast<float>(blue) / 255.0f, alpha};
    }
    constexpr Color WithAlpha(float alpha) const { return Color{r, g, b, alpha}; }

    friend bool operator==(const Color&, const Color&) = default;
};

constexpr Color Black(float alpha = 1) {
    return Color{0, 0, 0, alpha};
}
constexpr Color White(float alpha = 1) {
    return Color{1, 1, 1, alpha};
}

} // namespace Velto::Widget
