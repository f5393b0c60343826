#include "webapp/fs/open_item.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/openat2_call.h"
#include "webapp/fs/proc_fd_path.h"
#include "webapp/fs/statx_call.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>

namespace Velto::Corvane {

namespace {

constexpr std::uint64_t kStayBeneath = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;

struct Located {
    OpenResult result{OpenResult::Failed};
    UniqueFd fd;
};

Located Fail(OpenResult result) {
    return {result, UniqueFd()};
}
Located FailErrno(int err) {
    return Fail(OpenResultFromErrno(err));
}

// Every name on the way from the share's folder to `finalPath` must be one the
// web application could have been asked for directly.
bool IsReachableBelow(std::string_view dir, std::string_view finalPath, bool allowHidden) {
    std::string_view rest = finalPath.substr(dir.size());
    while (!rest.empty()) {
        if (rest.front() == '/') {
            rest.remove_prefix(1);
            continue;
        }
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        const std::optional<std::u16string> name = ItemNameFromBytes(piece);
        if (!name || IsUploadTempName(*name) || (!allowHidden && IsHiddenName(*name)))
            return false;
    }
    return true;
}

// Opened by following links: the final path decides whether the item counts.
Located CheckFollowed(UniqueFd fd, std::string_view dir, bool allowHidden) {
    const std::optional<std::string> finalPath = FinalPathOfFd(fd.Get());
    if (!finalPath || !IsPathInsideRoot(dir, *finalPath))
        return Fail(OpenResult::Outside);
    if (!IsReachableBelow(dir, *finalPath, allowHidden))
        return Fail(OpenResult::NotFound);
    return {OpenResult::Ok, std::move(fd)};
}

// Follows every link the kernel will (absolute ones from the process's own
// root), but never a /proc magic link; the caller checks the final path.
FdOrErrno OpenFollowingLinks(int rootFd, const char* relative) {
    FdOrErrno opened = OpenAt2(rootFd, relative, O_PATH, RESOLVE_NO_MAGICLINKS);
    if (opened.error == ENOSYS)
        opened = OpenAt(rootFd, relative, O_PATH);
    return opened;
}

Located LocateInFolder(int rootFd, std::string_view dir, const std::string& relative,
                       bool allowHidden) {
    // The common case: no link anywhere on the way, so the names checked by the
    // caller are the whole story.
    FdOrErrno opened =
        OpenAt2(rootFd, relative.c_str(), O_PATH, kStayBeneath | RESOLVE_NO_SYMLINKS);
    if (opened.Ok())
        return {OpenResult::Ok, std::move(opened.fd)};
    if (opened.error == ENOSYS) {
        opened = OpenAt(rootFd, relative.c_str(), O_PATH);
        if (!opened.Ok())
            return FailErrno(opened.error);
        return CheckFollowed(std::move(opened.fd), dir, allowHidden);
    }
    if (opened.error != ELOOP)
        return FailErrno(opened.error);

    // A link on the way: the kernel keeps relative links beneath the root; an
    // absolute link (or one that climbs out and back) is refused with EXDEV and
    // is then followed in full and judged by where it ends. The same happens
    // when renames elsewhere keep the kernel from vouching for a ".." (EAGAIN
    // after the retries): the final-path check does not depend on it.
    opened = OpenAt2(rootFd, relative.c_str(), O_PATH, kStayBeneath);
    if (!opened.Ok() && (opened.error == EXDEV || opened.error == EAGAIN))
        opened = OpenFollowingLinks(rootFd, relative.c_str());
    if (!opened.Ok())
        return FailErrno(opened.error);
    return CheckFollowed(std::move(opened.fd), dir, allowHidden);
}

// A single-file share reaches exactly the stored file; a link in its place
// leads elsewhere by definition.
Located LocateSingleFile(int rootFd, const std::string& fileName) {
    FdOrErrno opened =
        OpenAt2(rootFd, fileName.c_str(), O_PATH, kStayBeneath | RESOLVE_NO_SYMLINKS);
    if (opened.error == ENOSYS)
        opened = OpenAt(rootFd, fileName.c_str(), O_PATH | O_NOFOLLOW);
    if (!opened.Ok())
        return opened.error == ELOOP ? Fail(OpenResult::Outside) : FailErrno(opened.error);
    RawStat raw;
    if (StatFd(opened.fd.Get(), raw) != 0 || S_ISLNK(raw.mode))
        return Fail(OpenResult::Outside);
    return {OpenResult::Ok, std::move(opened.fd)};
}

// Opening for reading with no link on the way, without an O_PATH descriptor
// to reopen: a statx of the name first finds a regular file or folder, then
// the name is opened for reading under the same confinement as the walk in
// LocateInFolder, and the descriptor is kept only when it is that very inode.
// Something else swapped in between is opened without waiting (O_NONBLOCK,
// O_NOCTTY) and refused. An invalid descriptor leaves the decision to the
// full procedure, which also gives every error its exact result.
UniqueFd OpenForReadingDirectly(int rootFd, const std::string& relative, RawStat& raw) {
    RawStat found;
    if (StatAt(rootFd, relative.c_str(), false, found) != 0 || !IsRegularOrDirectory(found.mode) ||
        found.inode == 0)
        return UniqueFd();
    FdOrErrno opened = OpenAt2(rootFd, relative.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY,
                               kStayBeneath | RESOLVE_NO_SYMLINKS);
    if (!opened.Ok())
        return UniqueFd();
    if (StatFd(opened.fd.Get(), raw) != 0 || !IsRegularOrDirectory(raw.mode) ||
        raw.inode != found.inode || raw.device != found.device || raw.mountId != found.mountId)
        return UniqueFd();
    return std::move(opened.fd);
}

std::string RelativePath(std::span<const std::u16string> components) {
    if (components.empty())
        return ".";
    std::string relative;
    for (const std::u16string& component : components) {
        if (!relative.empty())
            relative.push_back('/');
        relative.append(Utf16ToUtf8(component));
    }
    return relative;
}

// The full procedure: walks to the item (following links only as far as they
// stay inside), checks what it is and, for reading, reopens the very inode
// that passed the checks rather than looking the path up again; O_NONBLOCK as
// well, so no open here can ever wait.
OpenResult LocateAndOpen(const ShareRoot& root, int rootFd, const std::string& relative,
                         ItemAccess access, bool allowHidden, UniqueFd& opened, RawStat& raw) {
    const bool singleFile = !root.fileName.empty();
    Located located = singleFile
                          ? LocateSingleFile(rootFd, Utf16ToUtf8(root.fileName))
                          : LocateInFolder(rootFd, Utf16ToUtf8(root.dir), relative, allowHidden);
    if (located.result != OpenResult::Ok)
        return located.result;

    if (const int err = StatFd(located.fd.Get(), raw); err != 0)
        return OpenResultFromErrno(err);
    if (!IsRegularOrDirectory(raw.mode) || (singleFile && S_ISDIR(raw.mode)))
        return OpenResult::NotFound;

    if (access == ItemAccess::ReadAttributes) {
        opened = std::move(located.fd);
        return OpenResult::Ok;
    }
    FdOrErrno readable = ReopenFd(located.fd.Get(), O_RDONLY | O_NONBLOCK);
    if (!readable.Ok())
        return OpenResultFromErrno(readable.error);
    opened = std::move(readable.fd);
    return OpenResult::Ok;
}

} // namespace

OpenResult OpenItem(const ShareRoot& root, std::span<const std::u16string> components,
                    ItemAccess access, bool allowHidden, UniqueFd& handle, ItemStat& stat) {
    if (components.size() > kMaxPathComponents)
        return OpenResult::NotFound;
    for (const std::u16string& component : components) {
        if (!IsValidItemName(component))
            return OpenResult::NotFound;
    }

    const bool singleFile = !root.fileName.empty();
    if (singleFile) {
        if (components.size() != 1 || !EqualsIgnoreCase(components[0], root.fileName) ||
            IsUploadTempName(root.fileName) || !IsWellFormedUtf16(root.fileName))
            return OpenResult::NotFound;
    } else {
        for (const std::u16string& component : components) {
            if (IsUploadTempName(component) || (!allowHidden && IsHiddenName(component)))
                return OpenResult::NotFound;
        }
    }

    UniqueFd ownedRoot;
    int rootFd = -1;
    const OpenResult rootResult = ShareRootDirectory(root, ownedRoot, rootFd);
    if (rootResult != OpenResult::Ok)
        return rootResult;

    const std::string relative = singleFile ? std::string() : RelativePath(components);
    RawStat raw;
    UniqueFd opened;
    if (!singleFile && access != ItemAccess::ReadAttributes)
        opened = OpenForReadingDirectly(rootFd, relative, raw);
    if (!opened.IsValid()) {
        const OpenResult result =
            LocateAndOpen(root, rootFd, relative, access, allowHidden, opened, raw);
        if (result != OpenResult::Ok)
            return result;
    }

    const std::u16string_view lastName =
        singleFile ? std::u16string_view(root.fileName)
                   : (components.empty() ? std::u16string_view() : components.back());
    stat.attributes = ItemAttributes(S_ISDIR(raw.mode), IsHiddenName(lastName));
    stat.size = S_ISREG(raw.mode) ? raw.size : 0;
    stat.lastWriteTime = raw.lastWriteTime;
    stat.mode = raw.mode;
    stat.mountId = raw.mountId;
    handle = std::move(opened);
    return OpenResult::Ok;
}

} // namespace Velto::Corvane
