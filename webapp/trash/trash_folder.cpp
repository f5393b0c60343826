#include "webapp/trash/trash_folder.h"

#include "base/file_util.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/free_space.h"
#include "webapp/fs/mount_table.h"
#include "webapp/fs/openat2_call.h"
#include "webapp/fs/statx_call.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>

namespace Velto::Corvane {

namespace {

// Trash folders hold other people's deleted files: only their owner may look in.
constexpr mode_t kTrashFolderMode = 0700;
constexpr std::uint64_t kNoLinks = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
constexpr const char* kSharedTrashName = ".Trash";
constexpr const char* kUserTrashPrefix = ".Trash-";

// The folder `name` right inside `dirFd`, never through a link, opened O_PATH;
// made first (0700) when `create` is set and it is missing.
UniqueFd OpenRealFolder(int dirFd, const std::string& name, bool create) {
    FdOrErrno opened = OpenAt2(dirFd, name.c_str(), O_PATH | O_DIRECTORY, kNoLinks);
    if (opened.error == ENOSYS)
        opened = OpenAt(dirFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW);
    if (!opened.Ok() && opened.error == ENOENT && create) {
        const int made = MakeFolderAt(dirFd, name, kTrashFolderMode);
        if (made != 0 && made != EEXIST)
            return UniqueFd();
        return OpenRealFolder(dirFd, name, false);
    }
    return std::move(opened.fd);
}

// A folder of the trash that belongs to this user: a real folder on the
// item's own mount, owned by the user, on a mount that takes writes.
bool IsUsableUserFolder(const UniqueFd& folder, std::uint64_t mountId, uid_t uid) {
    RawStat stat;
    return folder && StatFd(folder.Get(), stat) == 0 && S_ISDIR(stat.mode) &&
           stat.mountId == mountId && stat.owner == uid && !IsOnReadOnlyMount(folder.Get());
}

// `name` inside `parentFd` as a trash folder with its "files" and "info".
std::optional<TrashFolder> OpenTrashIn(int parentFd, const std::string& name, std::uint64_t mountId,
                                       uid_t uid) {
    TrashFolder trash;
    trash.mountId = mountId;
    trash.base = OpenRealFolder(parentFd, name, true);
    if (!IsUsableUserFolder(trash.base, mountId, uid))
        return std::nullopt;
    trash.files = OpenRealFolder(trash.base.Get(), "files", true);
    trash.info = OpenRealFolder(trash.base.Get(), "info", true);
    if (!IsUsableUserFolder(trash.files, mountId, uid) ||
        !IsUsableUserFolder(trash.info, mountId, uid))
        return std::nullopt;
    return trash;
}

// The mount the home trash is on, or would be on once created: that of the
// nearest folder on its path that exists.
std::optional<std::uint64_t> HomeTrashMount(const std::string& homeTrash) {
    std::string probe = homeTrash;
    for (;;) {
        RawStat stat;
        const int err = StatAt(AT_FDCWD, probe.c_str(), true, stat);
        if (err == 0)
            return stat.mountId;
        if (err != ENOENT)
            return std::nullopt;
        probe = ParentPath(probe);
        if (probe.empty())
            return std::nullopt;
    }
}

std::optional<TrashFolder> FindHomeTrash(std::uint64_t mountId, const std::string& homeTrash,
                                         uid_t uid) {
    if (homeTrash.empty() || homeTrash.front() != '/')
        return std::nullopt;
    const std::optional<std::uint64_t> homeMount = HomeTrashMount(homeTrash);
    if (!homeMount || *homeMount != mountId)
        return std::nullopt;
    if (Failed(CreateDirectories(homeTrash, kTrashFolderMode)))
        return std::nullopt;
    const std::string parent = ParentPath(homeTrash);
    const std::string name = homeTrash.substr(homeTrash.rfind('/') + 1);
    FdOrErrno parentFd = OpenAt(AT_FDCWD, parent.c_str(), O_PATH | O_DIRECTORY);
    if (!parentFd.Ok() || name.empty())
        return std::nullopt;
    return OpenTrashIn(parentFd.fd.Get(), name, mountId, uid);
}

std::optional<TrashFolder> FindTopTrash(std::uint64_t mountId, uid_t uid) {
    const std::optional<std::string> topdir = MountPointOf(mountId);
    if (!topdir)
        return std::nullopt;
    FdOrErrno top = OpenAt(AT_FDCWD, topdir->c_str(), O_PATH | O_DIRECTORY);
    RawStat topStat;
    if (!top.Ok() || StatFd(top.fd.Get(), topStat) != 0 || topStat.mountId != mountId)
        return std::nullopt;
    const std::string uidText = std::to_string(uid);

    // An administrator's shared trash counts only as a real sticky folder, so
    // no other user can remove or replace this user's folder inside it.
    const UniqueFd shared = OpenRealFolder(top.fd.Get(), kSharedTrashName, false);
    RawStat sharedStat;
    if (shared && StatFd(shared.Get(), sharedStat) == 0 && S_ISDIR(sharedStat.mode) &&
        (sharedStat.mode & S_ISVTX) != 0 && sharedStat.mountId == mountId) {
        if (std::optional<TrashFolder> trash = OpenTrashIn(shared.Get(), uidText, mountId, uid)) {
            trash->topdir = *topdir;
            return trash;
        }
    }
    std::optional<TrashFolder> trash =
        OpenTrashIn(top.fd.Get(), kUserTrashPrefix + uidText, mountId, uid);
    if (trash)
        trash->topdir = *topdir;
    return trash;
}

} // namespace

std::optional<TrashFolder> FindTrashFolder(std::uint64_t mountId, const std::string& homeTrash,
                                           uid_t uid) {
    if (mountId == 0)
        return std::nullopt;
    if (std::optional<TrashFolder> home = FindHomeTrash(mountId, homeTrash, uid))
        return home;
    return FindTopTrash(mountId, uid);
}

} // namespace Velto::Corvane
