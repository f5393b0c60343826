#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto {

// Strict standard base64 (RFC 4648 section 4, padding required, unused bits
// zero, so one text means one value); none when the text is not.
std::optional<std::string> DecodeBase64(std::string_view text);

} // namespace Velto
