#include "widget/list/case_fold.h"

#include <cstddef>

namespace Velto::Widget::Models {
namespace {

// In these blocks capital and small letters alternate, the capital first
// (even code points) or second (odd).
struct PairedRange {
    char32_t first;
    char32_t last;
    bool capitalEven;
};

constexpr PairedRange kPairedRanges[] = {
    {0x0100, 0x012F, true}, {0x0132, 0x0137, true},  {0x0139, 0x0148, false},
    {0x014A, 0x0177, true}, {0x0179, 0x017E, false}, {0x03D8, 0x03EF, true},
    {0x0460, 0x0481, true}, {0x048A, 0x04BF, true},  {0x04C1, 0x04CE, false},
    {0x04D0, 0x052F, true},
};

char32_t DecodeAt(std::u16string_view text, std::size_t& i) {
    const char32_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
        text[i] <= 0xDFFF) {
        const char32_t low = text[i++];
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return unit;
}

} // namespace

char32_t SimpleCaseFold(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if (c < 0xC0)
        return c;
    if (c <= 0xDE)
        return c == 0xD7 ? c : c + 0x20; // the multiplication sign has no case
    if (c == 0x0178)
        return 0x00FF; // Ÿ
    if (c == 0x017F)
        return U's'; // long s
    for (const PairedRange& range : kPairedRanges) {
        if (c < range.first || c > range.last)
            continue;
        const bool even = (c % 2) == 0;
        return even == range.capitalEven ? c + 1 : c;
    }
    if (c == 0x0386)
        return 0x03AC;
    if (c >= 0x0388 && c <= 0x038A)
        return c + 0x25;
    if (c == 0x038C)
        return 0x03CC;
    if (c == 0x038E || c == 0x038F)
        return c + 0x3F;
    if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2)
        return c + 0x20;
    if (c == 0x03C2)
        return 0x03C3; // final sigma
    if (c >= 0x0400 && c <= 0x040F)
        return c + 0x50;
    if (c >= 0x0410 && c <= 0x042F)
        return c + 0x20;
    if (c == 0x04C0)
        return 0x04CF;
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c + 0x20;
    return c;
}

bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix) {
    std::size_t t = 0;
    std::size_t p = 0;
    while (p < prefix.size()) {
        if (t >= text.size())
            return false;
        if (SimpleCaseFold(DecodeAt(text, t)) != SimpleCaseFold(DecodeAt(prefix, p)))
            return false;
    }
    return true;
}

} // namespace Velto::Widget::Models
