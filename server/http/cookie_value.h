#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// The value of cookie `name` (case-sensitive) in a Cookie header value,
// trimmed but otherwise unchanged; empty when absent.
std::string CookieValue(std::string_view header, std::string_view name);

} // namespace Velto::Corvane
