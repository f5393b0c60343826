#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Widget::Kit {

// The local path of a file:// URI ("file:///home/a%20b" -> "/home/a b"); an
// empty host or "localhost" is local. None for other schemes, other hosts,
// bad escapes, or a path with a NUL byte.
std::optional<std::string> PathFromFileUri(std::string_view uri);

} // namespace Velto::Widget::Kit
