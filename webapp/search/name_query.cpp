#include "webapp/search/name_query.h"

#include "webapp/fs/item_name.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace Velto::Corvane {

namespace {

// The combining marks a base-strength comparison ignores: the accents and
// diacritics of the Latin, Greek and Cyrillic scripts and their extensions.
// Marks of other scripts (Indic vowel signs, for one) are letters there and
// stay significant.
bool IsDiacriticMark(UChar32 c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

bool IsAscii(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; });
}

std::u16string LowerAscii(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& unit : out) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit + (u'a' - u'A'));
    }
    return out;
}

bool IsSpace(char16_t unit) {
    return u_isUWhiteSpace(unit) != 0;
}

} // namespace

std::u16string FoldForSearch(std::u16string_view text) {
    // Most names are ASCII: folding is then plain lower-casing, and no ICU
    // call is made for them.
    if (IsAscii(text))
        return LowerAscii(text);

    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* folding = icu::Normalizer2::getNFKCCasefoldInstance(status);
    const icu::Normalizer2* decompose = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* compose = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return LowerAscii(text);

    const icu::UnicodeString source(false, text.data(), static_cast<int32_t>(text.size()));
    const icu::UnicodeString folded = folding->normalize(source, status);
    const icu::UnicodeString decomposed = decompose->normalize(folded, status);
    if (U_FAILURE(status))
        return LowerAscii(text);

    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
        const UChar32 c = decomposed.char32At(i);
        if (!IsDiacriticMark(c))
            bare.append(c);
    }
    const icu::UnicodeString composed = compose->normalize(bare, status);
    if (U_FAILURE(status))
        return LowerAscii(text);
    return std::u16string(composed.getBuffer(), static_cast<std::size_t>(composed.length()));
}

std::optional<NameQuery> NameQuery::Parse(std::u16string_view text) {
    if (text.size() > kMaxQueryUnits || !IsWellFormedUtf16(text))
        return std::nullopt;
    const std::u16string folded = FoldForSearch(text);
    std::vector<std::u16string> words;
    std::size_t at = 0;
    while (at < folded.size()) {
        while (at < folded.size() && IsSpace(folded[at]))
            ++at;
        std::size_t end = at;
        while (end < folded.size() && !IsSpace(folded[end]))
            ++end;
        if (end > at) {
            std::u16string word = folded.substr(at, end - at);
            // A repeated word adds nothing.
            if (std::find(words.begin(), words.end(), word) == words.end())
                words.push_back(std::move(word));
        }
        at = end;
    }
    if (words.empty() || words.size() > kMaxQueryWords)
        return std::nullopt;
    return NameQuery(std::move(words));
}

bool NameQuery::Matches(std::u16string_view name) const {
    const std::u16string folded = FoldForSearch(name);
    return std::all_of(m_words.begin(), m_words.end(), [&](const std::u16string& word) {
        return std::u16string_view(folded).find(word) != std::u16string_view::npos;
    });
}

} // namespace Velto::Corvane
