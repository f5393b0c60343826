#pragma once

#include <string_view>

namespace Velto {

// Ordinal comparison ignoring case: both texts are upper-cased one UTF-16 code
// unit at a time with the simple (one-to-one) Unicode mapping, then compared
// unit by unit. Share and account names compare this way.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

} // namespace Velto
