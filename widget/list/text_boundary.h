#pragma once

#include <cstddef>
#include <string_view>

namespace Velto::Widget::Models {

// Where the caret may stop in a text and how typed searches compare
// characters. Positions are UTF-16 indices; every answer lies in
// [0, text.size()].
class ITextBoundary {
public:
    virtual ~ITextBoundary() = default;

    // The end of the user-perceived character (grapheme cluster) that starts
    // at `position`; text.size() at the end.
    virtual std::size_t NextCharacter(std::u16string_view text, std::size_t position) const = 0;
    // The start of the character that ends at `position`; 0 at the start.
    virtual std::size_t PreviousCharacter(std::u16string_view text, std::size_t position) const = 0;
    // The start of the next word after `position` (the end of the text when
    // there is none); the spaces after a word belong to it.
    virtual std::size_t NextWord(std::u16string_view text, std::size_t position) const = 0;
    // The start of the word before `position`.
    virtual std::size_t PreviousWord(std::u16string_view text, std::size_t position) const = 0;
    // The character a typed search compares in place of `character`.
    virtual char32_t FoldForSearch(char32_t character) const = 0;
};

} // namespace Velto::Widget::Models
