#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// The SHA-256 digest of a link token (32 raw bytes); empty when the digest
// could not be made. Links are looked up by it, so what a lookup's timing
// could reveal is about the digest, never about the token.
std::string TokenDigest(std::string_view token);

} // namespace Velto::Corvane
