#pragma once

#include "base/unique_fd.h"
#include "webapp/fs/open_result.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Where a share lives, resolved from its configured path.
struct ShareRoot {
    // The final (link-resolved) path of the share's folder, or of the folder that
    // holds a single-file share; no trailing "/" except for "/" itself.
    std::u16string dir;
    // Empty for a folder share; the file's name for a single-file share.
    std::u16string fileName;
    // The folder's identity when it was resolved (folder shares only); an
    // inode of 0 means unknown.
    std::uint64_t mountId{0};
    std::uint64_t device{0};
    std::uint64_t inode{0};
    // The folder itself (O_PATH), held from resolving it for one request, so
    // that the request's item opens start from it instead of walking the
    // configured path again. Folder shares only; empty otherwise.
    std::shared_ptr<const UniqueFd> folder;
};

// Resolves a share's configured path: the item must exist, be a folder when
// `isFile` is false and not a folder when it is true. The root is pinned to the
// final path the configured path leads to now; none when anything fails or the
// final path is not well-formed UTF-8.
std::optional<ShareRoot> ResolveShareRoot(std::u16string_view path, bool isFile);

// True when `path` is `dir` itself or lies below it: byte-exact prefix with a
// "/" boundary, so /srv/share2/x is not inside /srv/share.
bool IsPathInsideRoot(std::string_view dir, std::string_view path);

// True when the open descriptor's final path lies inside the share: below `dir`
// for a folder share, exactly `dir`/`fileName` for a single-file share.
bool IsInsideRoot(const ShareRoot& root, int fd);

// Opens the share's folder (O_PATH) and checks that it is still the folder the
// root was resolved to: Outside when the configured place now leads elsewhere,
// NotFound when it is gone or no longer a folder.
OpenResult OpenShareRootDirectory(const ShareRoot& root, UniqueFd& out);

// The share's folder for the walks of one request: the descriptor held in
// `root` when there is one (no system call), else OpenShareRootDirectory into
// `owned`. `fd` is valid while `root` and `owned` live.
OpenResult ShareRootDirectory(const ShareRoot& root, UniqueFd& owned, int& fd);

// The full path of an item as UTF-8 bytes: `dir`, then "/" and each component.
// Build it only from components that OpenItem accepted (or their parent's).
std::string JoinPath(const ShareRoot& root, std::span<const std::u16string> components);

} // namespace Velto::Corvane
