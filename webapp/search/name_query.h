#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// The most UTF-16 code units a search query may hold, and the most words.
constexpr std::size_t kMaxQueryUnits = 256;
constexpr std::size_t kMaxQueryWords = 16;

// A name as searches compare it: compatibility forms and letter case folded
// (NFKC with case folding, so "ß" is "ss" and full-width "Ａ" is "a"), accents
// and other combining diacritical marks removed, then composed again (NFC), so
// Hangul written as separate jamo and as syllables compare the same and a
// syllable never matches part of another. This is what a base-strength
// collator tells apart: letters, not their case, width or accents.
std::u16string FoldForSearch(std::u16string_view text);

// The words of a search: a name matches when it contains every word, folded
// as above. Built once per request and shared by the whole walk.
class NameQuery {
public:
    // None when the text holds no word, more than kMaxQueryWords words or more
    // than kMaxQueryUnits code units, or is not well-formed UTF-16.
    static std::optional<NameQuery> Parse(std::u16string_view text);

    bool Matches(std::u16string_view name) const;

    const std::vector<std::u16string>& Words() const { return m_words; }

private:
    explicit NameQuery(std::vector<std::u16string> words) : m_words(std::move(words)) {}

    std::vector<std::u16string> m_words;
};

} // namespace Velto::Corvane
