#pragma once

#include "webapp/fs/fd_or_errno.h"

#include <string>
#include <sys/types.h>

namespace Velto::Corvane {

// Items are created one validated name at a time relative to a folder
// descriptor from the confined walk (OpenItem), so whatever happens to the
// folder's path afterwards, the new item lands in that very folder.

// A new regular file `name` in `dirFd`, open for writing: O_CREAT|O_EXCL, so
// an existing item (a symbolic link included) is never opened or followed.
// The mode is 0666 less the umask, like any file a program saves.
FdOrErrno CreateNewFileAt(int dirFd, const std::string& name);

// Folders made for visitors get 0777 less the umask, like any new folder.
constexpr mode_t kNewFolderMode = 0777;

// A new folder `name` in `dirFd` with `mode` (less the umask). Returns 0 or
// the errno value; EEXIST when any item of that name exists.
int MakeFolderAt(int dirFd, const std::string& name, mode_t mode = kNewFolderMode);

// Removes the file (or link) `name` from `dirFd`. Returns 0 or the errno value.
int RemoveFileAt(int dirFd, const std::string& name);

} // namespace Velto::Corvane
