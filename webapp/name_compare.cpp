#include "webapp/name_compare.h"

#include <unicode/uchar.h>

namespace Velto::Corvane {

namespace {

char16_t UpperUnit(char16_t unit) {
    // Surrogate halves are not characters; they compare as they are.
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return unit;
    const UChar32 upper = u_toupper(static_cast<UChar32>(unit));
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

} // namespace

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && UpperUnit(a[i]) != UpperUnit(b[i]))
            return false;
    }
    return true;
}

} // namespace Velto::Corvane
