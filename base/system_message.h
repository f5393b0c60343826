#pragma once

#include "base/result.h"

#include <string>

namespace Velto::Net {

// The system's description of a result code (the errno text behind the
// Windows-shaped code), or an empty string when the code has none.
std::string SystemMessageText(Result code);

} // namespace Velto::Net
