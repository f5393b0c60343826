#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// An item name holds 1 to 255 UTF-16 code units and, as a Linux name, at most
// NAME_MAX (255) bytes of UTF-8.
constexpr std::size_t kMaxItemNameUnits = 255;
constexpr std::size_t kMaxItemNameBytes = 255;
// A path inside a share has at most this many components.
constexpr std::size_t kMaxPathComponents = 128;
// Names of unfinished uploads begin with this (compared ignoring case).
constexpr std::u16string_view kUploadTempPrefix = u".vcsupload-";

// The path of an item inside a share: validated names, the empty sequence is the
// share's root.
using PathComponents = std::vector<std::u16string>;

// True for a name the web application may address, create or list: 1-255 code
// units and at most 255 UTF-8 bytes (NAME_MAX), no unpaired surrogate, not "."
// or "..", no "/", NUL, other control character or DEL. Any other name Linux
// allows is valid, " * : < > ? \ | and a trailing dot or space included.
bool IsValidItemName(std::u16string_view name);

// A name of an unfinished upload: longer than 10 code units and beginning with
// ".vcsupload-" in any letter case.
bool IsUploadTempName(std::u16string_view name);

// Hidden items are those whose name begins with ".".
bool IsHiddenName(std::u16string_view name);

// The components of an item path ("a/b/c"); one leading and one trailing "/"
// are dropped. Fails when a piece is not a valid item name or there are more
// than kMaxPathComponents pieces.
std::optional<PathComponents> ParseSharePath(std::u16string_view text);

// The components joined with "/" (no leading or trailing "/"): the share path
// ParseSharePath would read back.
std::u16string JoinComponents(const PathComponents& components);

// A name read from the disk as the web application sees it: none unless the
// bytes are well-formed UTF-8 and the name passes IsValidItemName.
std::optional<std::u16string> ItemNameFromBytes(std::string_view bytes);

// True when the text has no unpaired surrogate, so it converts to UTF-8 and
// back unchanged.
bool IsWellFormedUtf16(std::u16string_view text);

} // namespace Velto::Corvane
