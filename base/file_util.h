#pragma once

#include "base/clock.h"
#include "base/result.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Velto {

// A write that made no progress (ERROR_WRITE_FAULT).
constexpr Result kWriteFault = ResultFromWin32(29);

// Paths are the file system's own bytes (UTF-8 where they are text), "/"-separated.

// The item exists (a symbolic link counts as itself, even when it dangles).
bool FileExists(const std::string& path);
// The path leads to a folder (following symbolic links).
bool IsDirectory(const std::string& path);

// The text before the last "/", after trailing "/" were dropped from the path;
// "/" itself for an item in the root; empty when there is no "/" after the first byte.
std::string ParentPath(std::string_view path);

// Default permissions of folders we create (the umask still applies).
constexpr mode_t kDefaultDirectoryMode = 0777;

// Creates a folder and any missing parents with `mode`. An existing folder is
// success; an existing non-folder is kAlreadyExists; an empty path kInvalidArg.
Result CreateDirectories(const std::string& path, mode_t mode = kDefaultDirectoryMode);

struct DirectoryItem {
    std::string name;
    FileTime creationTime{0}; // birth time where the file system records it, else 0
    FileTime lastAccessTime{0};
    FileTime lastWriteTime{0};
    bool isDirectory{false}; // a link to a folder counts as a folder, as on other systems
    bool isLink{false};
    std::uint64_t size{0};
};

// The entries of a folder except "." and "..", in the order the system gives them.
Result ListDirectory(const std::string& path, std::vector<DirectoryItem>& out);

// A file bigger than a reader's limit (ERROR_FILE_TOO_LARGE).
constexpr Result kFileTooLarge = ResultFromWin32(223);
// The most any caller reads into memory at once unless it asks for less.
constexpr std::size_t kMaxWholeFileBytes = std::size_t{64} << 20;

// The whole content of a regular file of at most `maxBytes` (kFileTooLarge
// otherwise, also when it grows past the limit while being read).
Result ReadWholeFile(const std::string& path, std::string& out,
                     std::size_t maxBytes = kMaxWholeFileBytes);
// As ReadWholeFile, without one leading UTF-8 byte-order mark.
Result ReadTextFile(const std::string& path, std::string& out,
                    std::size_t maxBytes = kMaxWholeFileBytes);

// 0 when removed, kFileNotFound when it did not exist.
Result RemoveFile(const std::string& path);

// Writes every byte, retrying short writes; a write that makes no progress fails.
Result WriteAll(int fd, std::string_view bytes);

// Flushes the folder entry of a finished rename to disk.
Result SyncDirectoryOf(const std::string& path);

} // namespace Velto
