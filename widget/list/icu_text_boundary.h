#pragma once

#include "widget/list/simple_text_boundary.h"
#include "widget/list/text_boundary.h"

#include <memory>

typedef struct UBreakIterator UBreakIterator;

namespace Velto::Widget::Models {

// Character (grapheme cluster) and word boundaries by the system ICU break
// iterators. Create() falls back to SimpleTextBoundary when ICU cannot open
// its iterators.
class IcuTextBoundary final : public ITextBoundary {
public:
    static std::unique_ptr<ITextBoundary> Create();

    std::size_t NextCharacter(std::u16string_view text, std::size_t position) const override;
    std::size_t PreviousCharacter(std::u16string_view text, std::size_t position) const override;
    std::size_t NextWord(std::u16string_view text, std::size_t position) const override;
    std::size_t PreviousWord(std::u16string_view text, std::size_t position) const override;
    char32_t FoldForSearch(char32_t character) const override;

private:
    struct Closer {
        void operator()(UBreakIterator* iterator) const;
    };
    using Iterator = std::unique_ptr<UBreakIterator, Closer>;

    IcuTextBoundary(Iterator characters, Iterator words);
    // The iterator with `text` set; none when ICU refuses the text.
    UBreakIterator* Prepare(const Iterator& iterator, std::u16string_view text) const;

    Iterator m_characters;
    Iterator m_words;
};

} // namespace Velto::Widget::Models
