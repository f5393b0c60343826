#pragma once

#include "widget/list/text_boundary.h"

namespace Velto::Widget::Models {

// Word and character boundaries without ICU. A character is a code point
// with the marks, joiners and modifiers that attach to it; a word is a
// maximal run of one class of characters (letters and digits, kana,
// whitespace, punctuation), except that every CJK ideograph is a word by
// itself.
class SimpleTextBoundary final : public ITextBoundary {
public:
    std::size_t NextCharacter(std::u16string_view text, std::size_t position) const override;
    std::size_t PreviousCharacter(std::u16string_view text, std::size_t position) const override;
    std::size_t NextWord(std::u16string_view text, std::size_t position) const override;
    std::size_t PreviousWord(std::u16string_view text, std::size_t position) const override;
    char32_t FoldForSearch(char32_t character) const override;
};

} // namespace Velto::Widget::Models
