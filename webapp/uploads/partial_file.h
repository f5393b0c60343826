#pragma once

#include "webapp/fs/fd_or_errno.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Velto::Corvane {

// The hidden temporary file of an upload, reached again by name in a folder
// for the next piece, the start-up check or its removal.

// Opens the existing regular file `name` in `dirFd` for writing, links never
// followed.
FdOrErrno OpenPartialFileAt(int dirFd, const std::string& name);
// The file's size; none when it cannot be asked.
std::optional<std::uint64_t> PartialFileSize(int fd);
// Positions the file at `offset`, cutting off anything beyond it. 0 or errno.
int SetPartialFileEnd(int fd, std::uint64_t offset);
// Opens the folder at the absolute path `folder` (O_PATH, the path's own links
// followed as they are now).
FdOrErrno OpenFolderPath(const std::string& folder);

} // namespace Velto::Corvane
