#pragma once

namespace Velto::Widget {

// The simple (one-to-one) Unicode upper-case mapping of one code point;
// access keys compare this way.
char32_t SimpleUpperCase(char32_t character);

} // namespace Velto::Widget
