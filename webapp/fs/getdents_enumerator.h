#pragma once

#include "webapp/fs/dir_entry.h"

#include <functional>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// Lists a folder opened by OpenItem with ItemAccess::ListDirectory (or Read),
// from its first entry, in the order the file system returns them.
//
// "." and ".." are skipped, and so is every entry the web application could
// never address: a name that is not well-formed UTF-8 or fails IsValidItemName,
// and FIFOs, devices and sockets. A symbolic link is kept with the reparse
// point attribute and the symlink tag; its folder bit, size and time are those
// of its target when the target is a file or folder, so the caller must still
// open it with OpenItem before showing it. Hidden entries carry
// FILE_ATTRIBUTE_HIDDEN; filtering them, like upload temporary names, is the
// caller's choice. An entry that vanishes while the folder is read is left
// out.
//
// Returns false when reading the folder fails; `entries` is cleared first.
bool EnumerateDirectory(int dirFd, std::vector<DirEntry>& entries);

// Decides from an entry's name, before anything else is asked of the file
// system, whether it is described and kept; `mayBeFolder` is false only for
// an entry the folder itself reports as a regular file or another non-folder,
// non-link type.
using WantedEntry = std::function<bool(std::u16string_view name, bool mayBeFolder)>;

// The same enumeration, keeping only the entries `wanted` accepts; the others
// cost no statx. A walk that needs every folder but only some files (a search
// by name) reads a tree with one system call per folder and per kept entry.
bool EnumerateDirectory(int dirFd, std::vector<DirEntry>& entries, const WantedEntry& wanted);

} // namespace Velto::Corvane
