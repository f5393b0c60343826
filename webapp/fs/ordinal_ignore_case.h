#pragma once

#include <string_view>

namespace Velto::Corvane {

// Ordinal comparison that ignores letter case: both texts are compared code unit
// by code unit after simple upper-casing of each unit on its own (surrogates
// stay as they are), so the lengths must match exactly.
bool EqualsOrdinalIgnoreCase(std::u16string_view a, std::u16string_view b);

} // namespace Velto::Corvane
