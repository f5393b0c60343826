#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Velto {

// Lower-case hexadecimal, two characters per byte, high nibble first.
std::string HexEncode(std::string_view bytes);
std::string HexEncode(std::span<const std::uint8_t> bytes);
// Accepts upper and lower case; nothing for an odd length or a non-hex character.
std::optional<std::string> HexDecode(std::string_view text);

} // namespace Velto
