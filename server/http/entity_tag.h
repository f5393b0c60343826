#pragma once

#include "base/clock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// "\"<size hex>-<file time hex>\"", lower-case digits without leading zeros.
std::string MakeEtag(std::uint64_t size, FileTime lastWrite);

// Weak comparison against an If-None-Match list: elements are trimmed, a
// leading "W/" is dropped, "*" matches anything.
bool EtagListMatches(std::string_view ifNoneMatch, std::string_view etag);

} // namespace Velto::Corvane
