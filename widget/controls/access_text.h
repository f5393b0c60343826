#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Widget {

// A control text with its access-key marker resolved: a single "&" marks the
// next character as the access key and is not shown; "&&" shows one "&".
struct AccessText {
    std::u16string shown;
    char32_t accessKey{0};
    // Where the access key sits in `shown` (UTF-16 index).
    std::optional<std::size_t> underline;
};

AccessText ParseAccessText(std::u16string_view text);

} // namespace Velto::Widget
