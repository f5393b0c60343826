#pragma once

#include "base/result.h"

#include <string>
#include <string_view>

namespace Velto {

// Files only this user may read: mode 0600 exactly, whatever the umask.

// Writes `bytes` to a temporary file beside `path` ("<path>.tmp-" and 8 random hexadecimal
// characters, created exclusively, links never followed), flushed and closed; its name goes to
// `temp`. On failure nothing is left behind.
Result WritePrivateTemporary(const std::string& path, std::string_view bytes, std::string& temp);

// Replaces `path` in one step: WritePrivateTemporary, then renamed over the
// path and the folder entry flushed. On failure the temporary file is removed
// and an existing file stays as it was.
Result ReplacePrivateFile(const std::string& path, std::string_view bytes);

} // namespace Velto
