#include "widget/list/icu_text_boundary.h"

#include "widget/list/case_fold.h"
#include "widget/list/code_points.h"

#include <unicode/ubrk.h>
#include <unicode/uloc.h>

#include <climits>

namespace Velto::Widget::Models {

void IcuTextBoundary::Closer::operator()(UBreakIterator* iterator) const {
    ubrk_close(iterator);
}

IcuTextBoundary::IcuTextBoundary(Iterator characters, Iterator words)
    : m_characters(std::move(characters)), m_words(std::move(words)) {}

std::unique_ptr<ITextBoundary> IcuTextBoundary::Create() {
    UErrorCode status = U_ZERO_ERROR;
    Iterator characters(ubrk_open(UBRK_CHARACTER, uloc_getDefault(), nullptr, 0, &status));
    if (U_FAILURE(status) || !characters)
        return std::make_unique<SimpleTextBoundary>();
    status = U_ZERO_ERROR;
    Iterator words(ubrk_open(UBRK_WORD, uloc_getDefault(), nullptr, 0, &status));
    if (U_FAILURE(status) || !words)
        return std::make_unique<SimpleTextBoundary>();
    return std::unique_ptr<ITextBoundary>(
        new IcuTextBoundary(std::move(characters), std::move(words)));
}

UBreakIterator* IcuTextBoundary::Prepare(const Iterator& iterator, std::u16string_view text) const {
    if (text.size() > static_cast<std::size_t>(INT32_MAX))
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(iterator.get(), text.data(), static_cast<int32_t>(text.size()), &status);
    return U_FAILURE(status) ? nullptr : iterator.get();
}

std::size_t IcuTextBoundary::NextCharacter(std::u16string_view text, std::size_t position) const {
    if (position >= text.size())
        return text.size();
    UBreakIterator* it = Prepare(m_characters, text);
    if (it == nullptr)
        return SimpleTextBoundary{}.NextCharacter(text, position);
    const int32_t next = ubrk_following(it, static_cast<int32_t>(position));
    return next == UBRK_DONE ? text.size() : static_cast<std::size_t>(next);
}

std::size_t IcuTextBoundary::PreviousCharacter(std::u16string_view text,
                                               std::size_t position) const {
    if (position > text.size())
        position = text.size();
    if (position == 0)
        return 0;
    UBreakIterator* it = Prepare(m_characters, text);
    if (it == nullptr)
        return SimpleTextBoundary{}.PreviousCharacter(text, position);
    const int32_t previous = ubrk_preceding(it, static_cast<int32_t>(position));
    return previous == UBRK_DONE ? 0 : static_cast<std::size_t>(previous);
}

std::size_t IcuTextBoundary::NextWord(std::u16string_view text, std::size_t position) const {
    if (position >= text.size())
        return text.size();
    UBreakIterator* it = Prepare(m_words, text);
    if (it == nullptr)
        return SimpleTextBoundary{}.NextWord(text, position);
    int32_t p = ubrk_following(it, static_cast<int32_t>(position));
    // The spaces after a word belong to it: stop where the next word starts.
    while (p != UBRK_DONE && static_cast<std::size_t>(p) < text.size() &&
           IsWhitespace(DecodeForward(text, static_cast<std::size_t>(p)).value))
        p = ubrk_following(it, p);
    return p == UBRK_DONE ? text.size() : static_cast<std::size_t>(p);
}

std::size_t IcuTextBoundary::PreviousWord(std::u16string_view text, std::size_t position) const {
    if (position > text.size())
        position = text.size();
    if (position == 0)
        return 0;
    UBreakIterator* it = Prepare(m_words, text);
    if (it == nullptr)
        return SimpleTextBoundary{}.PreviousWord(text, position);
    int32_t p = ubrk_preceding(it, static_cast<int32_t>(position));
    while (p != UBRK_DONE && p > 0 &&
           IsWhitespace(DecodeForward(text, static_cast<std::size_t>(p)).value))
        p = ubrk_preceding(it, p);
    return p == UBRK_DONE ? 0 : static_cast<std::size_t>(p);
}

char32_t IcuTextBoundary::FoldForSearch(char32_t character) const {
    return SimpleCaseFold(character);
}

} // namespace Velto::Widget::Models
