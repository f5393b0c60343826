#include "webapp/fs/share_root.h"

#include "base/utf.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/openat2_call.h"
#include "webapp/fs/proc_fd_path.h"
#include "webapp/fs/statx_call.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>

namespace Velto::Corvane {

namespace {

// The UTF-8 form of a root text, or none when it cannot have come from a path.
std::optional<std::string> PathBytes(std::u16string_view text) {
    if (text.empty() || !IsWellFormedUtf16(text) || text.find(u'\0') != std::u16string_view::npos)
        return std::nullopt;
    return Utf16ToUtf8(text);
}

std::string FilePathOf(std::string_view dir, std::string_view fileName) {
    std::string path(dir);
    if (path.back() != '/')
        path.push_back('/');
    path.append(fileName);
    return path;
}

// True when every component of the absolute `path` is a plain name: no
// empty, "." or ".." piece, so walking it names each folder on the way.
bool IsPlainAbsolutePath(std::string_view path) {
    if (path.empty() || path.front() != '/')
        return false;
    if (path.size() == 1)
        return true;
    std::string_view rest = path.substr(1);
    for (;;) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        if (piece.empty() || piece == "." || piece == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        rest.remove_prefix(slash + 1);
    }
}

// True when `path` is absolute and none of its components is "." or "..": a
// configured share names its folder in full, never relative to wherever the
// process happens to run.
bool IsFullPath(std::string_view path) {
    if (path.empty() || path.front() != '/')
        return false;
    std::string_view rest = path;
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        if (piece == "." || piece == "..")
            return false;
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash);
    }
    return true;
}

// The cheap proof that the root is unchanged: `dir` walked name by name with
// no link anywhere reaches a folder, so its final path is `dir` itself, and
// that folder is the very one the root was resolved to. Anything else (an
// unknown identity, a link on the way, another folder, no openat2) leaves the
// decision to the full check.
bool OpenUnchangedRoot(const ShareRoot& root, const std::string& dir, UniqueFd& out) {
    if (root.inode == 0 || !IsPlainAbsolutePath(dir))
        return false;
    FdOrErrno opened = OpenAt2(AT_FDCWD, dir.c_str(), O_PATH | O_DIRECTORY,
                               RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS);
    if (!opened.Ok())
        return false;
    RawStat stat;
    if (StatFd(opened.fd.Get(), stat) != 0 || !S_ISDIR(stat.mode) || stat.inode != root.inode ||
        stat.device != root.device || stat.mountId != root.mountId)
        return false;
    out = std::move(opened.fd);
    return true;
}

} // namespace

std::optional<ShareRoot> ResolveShareRoot(std::u16string_view path, bool isFile) {
    std::optional<std::string> configured = PathBytes(path);
    if (!configured || !IsFullPath(*configured))
        return std::nullopt;
    if (configured->size() > 1 && configured->back() == '/')
        configured->pop_back();

    // A plain absolute path the kernel walks with no link anywhere on the way
    // is its own final path; only otherwise is it read back from the
    // descriptor.
    FdOrErrno opened;
    bool walkedPlain = false;
    if (IsPlainAbsolutePath(*configured)) {
        opened = OpenAt2(AT_FDCWD, configured->c_str(), O_PATH,
                         RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS);
        walkedPlain = opened.Ok();
    }
    if (!walkedPlain)
        opened = OpenAt(AT_FDCWD, configured->c_str(), O_PATH);
    if (!opened.Ok())
        return std::nullopt;
    RawStat stat;
    if (StatFd(opened.fd.Get(), stat) != 0)
        return std::nullopt;
    if (S_ISDIR(stat.mode) == isFile)
        return std::nullopt;

    std::optional<std::string> finalPath =
        walkedPlain ? std::move(configured) : FinalPathOfFd(opened.fd.Get());
    if (!finalPath)
        return std::nullopt;
    if (finalPath->size() > 1 && finalPath->back() == '/')
        finalPath->pop_back();
    std::u16string final16;
    if (!Utf8ToUtf16Strict(*finalPath, final16))
        return std::nullopt;

    if (!isFile) {
        ShareRoot root{std::move(final16), {}, stat.mountId, stat.device, stat.inode, {}};
        root.folder = std::make_shared<const UniqueFd>(std::move(opened.fd));
        return root;
    }

    const std::size_t slash = final16.rfind(u'/');
    if (slash == std::u16string::npos || slash + 1 >= final16.size())
        return std::nullopt;
    ShareRoot root;
    root.dir = slash == 0 ? std::u16string(u"/") : final16.substr(0, slash);
    root.fileName = final16.substr(slash + 1);
    return root;
}

bool IsPathInsideRoot(std::string_view dir, std::string_view path) {
    if (dir.empty() || path.size() < dir.size() || path.substr(0, dir.size()) != dir)
        return false;
    return path.size() == dir.size() || dir.back() == '/' || path[dir.size()] == '/';
}

bool IsInsideRoot(const ShareRoot& root, int fd) {
    const std::optional<std::string> dir = PathBytes(root.dir);
    const std::optional<std::string> finalPath = FinalPathOfFd(fd);
    if (!dir || !finalPath)
        return false;
    if (root.fileName.empty())
        return IsPathInsideRoot(*dir, *finalPath);
    const std::optional<std::string> fileName = PathBytes(root.fileName);
    return fileName && *finalPath == FilePathOf(*dir, *fileName);
}

OpenResult ShareRootDirectory(const ShareRoot& root, UniqueFd& owned, int& fd) {
    if (root.folder && root.folder->IsValid()) {
        fd = root.folder->Get();
        return OpenResult::Ok;
    }
    const OpenResult result = OpenShareRootDirectory(root, owned);
    fd = owned.Get();
    return result;
}

OpenResult OpenShareRootDirectory(const ShareRoot& root, UniqueFd& out) {
    const std::optional<std::string> dir = PathBytes(root.dir);
    if (!dir || dir->front() != '/')
        return OpenResult::NotFound;
    if (OpenUnchangedRoot(root, *dir, out))
        return OpenResult::Ok;
    FdOrErrno opened = OpenAt(AT_FDCWD, dir->c_str(), O_PATH | O_DIRECTORY);
    if (!opened.Ok())
        return OpenResultFromErrno(opened.error);
    const std::optional<std::string> finalPath = FinalPathOfFd(opened.fd.Get());
    if (!finalPath || *finalPath != *dir)
        return OpenResult::Outside;
    out = std::move(opened.fd);
    return OpenResult::Ok;
}

std::string JoinPath(const ShareRoot& root, std::span<const std::u16string> components) {
    std::string path = Utf16ToUtf8(root.dir);
    for (const std::u16string& component : components) {
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path.append(Utf16ToUtf8(component));
    }
    return path;
}

} // namespace Velto::Corvane
