#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// Writes a file only this user can read (0600; a folder it has to create is
// 0700): the bytes go to "<path>.tmp-<8 hex>" created exclusively, are flushed,
// and the temporary file is renamed over the path. On failure the temporary
// file is removed and an existing file stays as it was.
bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes);

} // namespace Velto::Corvane
