#pragma once

#include <string>

namespace Velto {

// Values of this many characters (UTF-16 code units) or more count as unset,
// as an over-long variable would at start-up.
constexpr std::size_t kMaxVariableLength = 1024;

// The variable's value; empty when it is unset, empty or too long.
std::string EnvironmentVariable(const char* name);

} // namespace Velto
