#pragma once

#include <string_view>

namespace Velto::Corvane {

// The side files macOS writes beside everything it copies ("._name" with
// extended attributes, ".DS_Store" with folder view settings). They are
// hidden names, so they are never written; their writes are answered as if
// they succeeded, because Finder abandons a whole copy when one fails.
constexpr bool IsAppleJunkName(std::u16string_view name) {
    return name.starts_with(u"._") || name == u".DS_Store";
}

} // namespace Velto::Corvane
