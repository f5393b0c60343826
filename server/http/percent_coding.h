#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Copies A-Z a-z 0-9 - . _ ~ (and "/" unless encodeSlash); every other byte
// becomes %XX with upper-case hexadecimal digits.
std::string PercentEncode(std::string_view bytes, bool encodeSlash);

// Decodes %XX escapes (either case); an escape yielding a zero byte, a "%"
// without two hexadecimal digits, fails. "+" becomes a space only when
// plusAsSpace is set.
std::optional<std::string> PercentDecode(std::string_view bytes, bool plusAsSpace);

// Form decoding of query keys and values: "+" is a space, %XX any byte (zero
// allowed); a "%" without two hexadecimal digits fails.
std::optional<std::string> FormDecode(std::string_view bytes);

} // namespace Velto::Corvane
