#pragma once

#include <cstddef>
#include <string_view>

namespace Velto::Widget::Models {

// The code point that starts at `position` (a lone surrogate stands for
// itself) and the number of UTF-16 units it takes.
struct CodePointAt {
    char32_t value{0};
    std::size_t length{0};
};
CodePointAt DecodeForward(std::u16string_view text, std::size_t position);
// The code point that ends at `position`.
CodePointAt DecodeBackward(std::u16string_view text, std::size_t position);

// What a word is made of.
enum class CharacterClass { Letter, Kana, Whitespace, Punctuation, Ideograph };
CharacterClass ClassOf(char32_t c);
bool IsWhitespace(char32_t c);

} // namespace Velto::Widget::Models
