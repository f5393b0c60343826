#pragma once

#include <optional>
#include <string_view>

namespace Velto::Widget {

// The value of Xft.dpi in X resources as xrdb writes them ("name:\tvalue"
// lines); none when absent or not a usable number.
std::optional<float> XftDpiFromResources(std::string_view resources);

} // namespace Velto::Widget
