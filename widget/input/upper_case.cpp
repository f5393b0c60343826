#include "widget/input/upper_case.h"

#include <unicode/uchar.h>

namespace Velto::Widget {

char32_t SimpleUpperCase(char32_t character) {
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(character)));
}

} // namespace Velto::Widget
