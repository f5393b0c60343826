#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Instance {

// The folder for this user's sockets and lock files: $XDG_RUNTIME_DIR when it
// names a folder, else a private folder /tmp/velto-<uid> (created 0700). The
// fallback is used only when it is a real folder owned by this user that
// nobody else can enter; none otherwise.
std::optional<std::string> UserRuntimeFolder();

// A name made safe to use as one file name: bytes outside [A-Za-z0-9._-]
// become "%XX", and a name that would make a path longer than `maxPathBytes`
// inside `folder` (with `longestSuffix` added) is replaced by a hash of it.
std::string RuntimeFileStem(std::string_view name, std::string_view folder,
                            std::size_t longestSuffix, std::size_t maxPathBytes);

} // namespace Velto::Instance
