#pragma once

#include <string>
#include <string_view>

namespace Velto {

// Lossy conversions: malformed sequences become U+FFFD, never an error.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Strict: true when `bytes` is well-formed UTF-8 (no overlongs, no surrogates,
// nothing above U+10FFFF), i.e. it survives UTF-8 -> UTF-16 -> UTF-8 unchanged.
bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-8 form of one scalar value.
void AppendUtf8(std::string& out, char32_t cp);

// Strict conversion; false when `bytes` is not well-formed UTF-8.
bool Utf8ToUtf16Strict(std::string_view bytes, std::u16string& out);

} // namespace Velto
