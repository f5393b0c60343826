#include "widget/list/code_points.h"

namespace Velto::Widget::Models {
namespace {

bool IsHigh(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
bool In(char32_t c, char32_t first, char32_t last) {
    return c >= first && c <= last;
}

} // namespace

CodePointAt DecodeForward(std::u16string_view text, std::size_t position) {
    if (position >= text.size())
        return {};
    const char32_t unit = text[position];
    if (IsHigh(unit) && position + 1 < text.size() && IsLow(text[position + 1]))
        return {0x10000 + ((unit - 0xD800) << 10) + (text[position + 1] - 0xDC00), 2};
    return {unit, 1};
}

CodePointAt DecodeBackward(std::u16string_view text, std::size_t position) {
    if (position == 0 || position > text.size())
        return {};
    const char32_t unit = text[position - 1];
    if (IsLow(unit) && position >= 2 && IsHigh(text[position - 2]))
        return {0x10000 + ((text[position - 2] - 0xD800) << 10) + (unit - 0xDC00), 2};
    return {unit, 1};
}

bool IsWhitespace(char32_t c) {
    return c == U' ' || In(c, 0x09, 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           In(c, 0x2000, 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

CharacterClass ClassOf(char32_t c) {
    if (IsWhitespace(c))
        return CharacterClass::Whitespace;
    if (c < 0x80) {
        const bool alnum = In(c, U'a', U'z') || In(c, U'A', U'Z') || In(c, U'0', U'9') || c == U'_';
        return alnum ? CharacterClass::Letter : CharacterClass::Punctuation;
    }
    if (In(c, 0x80, 0xBF) || c == 0xD7 || c == 0xF7 || In(c, 0x2010, 0x2027) ||
        In(c, 0x2030, 0x205E) || In(c, 0x3001, 0x303F) || In(c, 0xFF01, 0xFF0F) ||
        In(c, 0xFF1A, 0xFF20) || In(c, 0xFF3B, 0xFF40) || In(c, 0xFF5B, 0xFF65))
        return CharacterClass::Punctuation;
    if (In(c, 0x3040, 0x30FF))
        return CharacterClass::Kana;
    if (In(c, 0x4E00, 0x9FFF))
        return CharacterClass::Ideograph;
    return CharacterClass::Letter;
}

} // namespace Velto::Widget::Models
