#include "base/ordinal_compare.h"

#include <unicode/uchar.h>

namespace Velto {
namespace {

char16_t UpperUnit(char16_t unit) {
    if (unit < 0x80)
        return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
    // A surrogate half has no case of its own; the mapping leaves it unchanged.
    const UChar32 upper = u_toupper(static_cast<UChar32>(unit));
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

} // namespace

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && UpperUnit(a[i]) != UpperUnit(b[i]))
            return false;
    }
    return true;
}

} // namespace Velto
