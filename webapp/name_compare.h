#pragma once

#include <string_view>

namespace Velto::Corvane {

// Ordinal comparison that ignores letter case: each UTF-16 code unit is
// upper-cased on its own (simple case mapping) before the units are compared.
// Share and account names compare this way.
bool NamesEqual(std::u16string_view a, std::u16string_view b);

} // namespace Velto::Corvane
