#pragma once

#include "base/clock.h"

#include <string>

namespace Velto::Corvane {

// "Fri, 05 Jan 2024 06:07:08 GMT"; empty when the time cannot be converted.
std::string HttpDate(FileTime time);

} // namespace Velto::Corvane
