#include "widget/list/simple_text_boundary.h"

#include "widget/list/case_fold.h"
#include "widget/list/code_points.h"

namespace Velto::Widget::Models {
namespace {

bool In(char32_t c, char32_t first, char32_t last) {
    return c >= first && c <= last;
}

constexpr char32_t kZeroWidthJoiner = 0x200D;

// Marks and selectors that never stand alone.
bool Extends(char32_t c) {
    return In(c, 0x0300, 0x036F) || In(c, 0x1AB0, 0x1AFF) || In(c, 0x1DC0, 0x1DFF) ||
           In(c, 0x20D0, 0x20FF) || In(c, 0xFE00, 0xFE0F) || In(c, 0xFE20, 0xFE2F) ||
           In(c, 0x1F3FB, 0x1F3FF) || In(c, 0xE0020, 0xE007F) || In(c, 0xE0100, 0xE01EF) ||
           In(c, 0x3099, 0x309A) || c == kZeroWidthJoiner;
}

bool IsRegionalIndicator(char32_t c) {
    return In(c, 0x1F1E6, 0x1F1FF);
}

// Conjoining Hangul jamo: leading consonants, vowels, trailing consonants.
bool IsJamoL(char32_t c) {
    return In(c, 0x1100, 0x115F) || In(c, 0xA960, 0xA97F);
}
bool IsJamoV(char32_t c) {
    return In(c, 0x1160, 0x11A7) || In(c, 0xD7B0, 0xD7C6);
}
bool IsJamoT(char32_t c) {
    return In(c, 0x11A8, 0x11FF) || In(c, 0xD7CB, 0xD7FB);
}
bool IsSyllableLv(char32_t c) {
    return In(c, 0xAC00, 0xD7A3) && (c - 0xAC00) % 28 == 0;
}
bool IsSyllable(char32_t c) {
    return In(c, 0xAC00, 0xD7A3);
}

// Whether `next` continues the cluster whose last code point is `previous`.
bool Joins(char32_t previous, char32_t next) {
    if (Extends(next))
        return true;
    if (previous == kZeroWidthJoiner)
        return true;
    if (IsJamoL(previous))
        return IsJamoL(next) || IsJamoV(next) || IsSyllable(next);
    if (IsJamoV(previous) || IsSyllableLv(previous))
        return IsJamoV(next) || IsJamoT(next);
    if (IsJamoT(previous) || IsSyllable(previous))
        return IsJamoT(next);
    return false;
}

} // namespace

std::size_t SimpleTextBoundary::NextCharacter(std::u16string_view text,
                                              std::size_t position) const {
    if (position >= text.size())
        return text.size();
    CodePointAt first = DecodeForward(text, position);
    std::size_t end = position + first.length;
    char32_t previous = first.value;
    int regionalIndicators = IsRegionalIndicator(previous) ? 1 : 0;
    while (end < text.size()) {
        const CodePointAt next = DecodeForward(text, end);
        const bool flagPair = regionalIndicators == 1 && IsRegionalIndicator(next.value);
        if (!flagPair && !Joins(previous, next.value))
            break;
        if (flagPair)
            ++regionalIndicators;
        end += next.length;
        previous = next.value;
    }
    return end;
}

std::size_t SimpleTextBoundary::PreviousCharacter(std::u16string_view text,
                                                  std::size_t position) const {
    if (position > text.size())
        position = text.size();
    if (position == 0)
        return 0;
    // Back to a code point that surely starts a cluster, then forward by
    // clusters to the last boundary before `position`.
    std::size_t start = position;
    while (start > 0) {
        start -= DecodeBackward(text, start).length;
        if (start == 0)
            break;
        const char32_t c = DecodeForward(text, start).value;
        const char32_t before = DecodeBackward(text, start).value;
        if (!Joins(before, c) && !IsRegionalIndicator(c))
            break;
    }
    std::size_t boundary = start;
    for (std::size_t p = start; p < position; p = NextCharacter(text, p))
        boundary = p;
    return boundary;
}

std::size_t SimpleTextBoundary::NextWord(std::u16string_view text, std::size_t position) const {
    if (position >= text.size())
        return text.size();
    std::size_t p = position;
    const CharacterClass first = ClassOf(DecodeForward(text, p).value);
    if (first == CharacterClass::Ideograph) {
        p = NextCharacter(text, p);
    } else if (first != CharacterClass::Whitespace) {
        while (p < text.size() && ClassOf(DecodeForward(text, p).value) == first)
            p = NextCharacter(text, p);
    }
    while (p < text.size() && IsWhitespace(DecodeForward(text, p).value))
        p = NextCharacter(text, p);
    return p;
}

std::size_t SimpleTextBoundary::PreviousWord(std::u16string_view text, std::size_t position) const {
    std::size_t p = position > text.size() ? text.size() : position;
    while (p > 0 && IsWhitespace(DecodeBackward(text, p).value))
        p = PreviousCharacter(text, p);
    if (p == 0)
        return 0;
    const std::size_t before = PreviousCharacter(text, p);
    const CharacterClass last = ClassOf(DecodeForward(text, before).value);
    p = before;
    if (last == CharacterClass::Ideograph)
        return p;
    while (p > 0) {
        const std::size_t earlier = PreviousCharacter(text, p);
        if (ClassOf(DecodeForward(text, earlier).value) != last)
            break;
        p = earlier;
    }
    return p;
}

char32_t SimpleTextBoundary::FoldForSearch(char32_t character) const {
    return SimpleCaseFold(character);
}

} // namespace Velto::Widget::Models
