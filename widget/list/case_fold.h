#pragma once

#include <string_view>

namespace Velto::Widget::Models {

// The simple case folding that type-ahead searches compare with: ASCII,
// Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin letters
// fold to lower case; every other character stays as it is.
char32_t SimpleCaseFold(char32_t character);

// True when `text` begins with `prefix` under SimpleCaseFold, code point by
// code point.
bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix);

} // namespace Velto::Widget::Models
