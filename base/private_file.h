#pragma once

#include "base/result.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace Velto {

// Files only this user may read: mode 0600 exactly, whatever the umask, in
// folders only this user may enter (0700).

// Creates `dir` (and missing parents) with mode 0700; an existing directory
// is tightened to 0700.
Result MakePrivateDirectory(const std::filesystem::path& dir);

// Writes `bytes` to a temporary file beside `path` ("<path>.tmp-" and 8 random hexadecimal
// characters, created exclusively, links never followed), flushed and closed; its name goes to
// `temp`. On failure nothing is left behind.
Result WritePrivateTemporary(const std::string& path, std::string_view bytes, std::string& temp);

// Replaces `path` in one step: WritePrivateTemporary, then renamed over the
// path and the folder entry flushed. On failure the temporary file is removed
// and an existing file stays as it was.
Result ReplacePrivateFile(const std::string& path, std::string_view bytes);

// ReplacePrivateFile, creating a missing folder (and its parents) with mode 0700 first.
bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes);

} // namespace Velto
