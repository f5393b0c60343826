#include "webapp/dav/tree_copy.h"

#include "base/file_util.h"
#include "base/system_random.h"
#include "base/unique_fd.h"
#include "base/utf.h"
#include "webapp/dav/dead_properties.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/dir_entry.h"
#include "webapp/fs/disk_sync.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/modified_time.h"
#include "webapp/fs/open_item.h"
#include "webapp/fs/rename_at.h"
#include "webapp/listing_filter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kCopyPieceBytes = 1 << 20;
constexpr std::size_t kTempRandomBytes = 8;

TreeCopyResult ResultFor(int err) {
    switch (err) {
    case 0:
        return TreeCopyResult::Copied;
    case EEXIST:
        return TreeCopyResult::Exists;
    case ENOSPC:
    case EDQUOT:
        return TreeCopyResult::NoSpace;
    case EACCES:
    case EPERM:
        return TreeCopyResult::Denied;
    default:
        return TreeCopyResult::Failed;
    }
}

// Copies the whole file, in kernel where the file systems allow it.
int CopyData(int from, int to) {
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, kCopyPieceBytes, 0);
        if (copied == 0)
            return 0;
        if (copied > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return errno;
        break;
    }
    std::vector<char> buffer(kCopyPieceBytes);
    for (;;) {
        const ssize_t count = ::read(from, buffer.data(), buffer.size());
        if (count == 0)
            return 0;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        const Result written =
            WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(count)));
        if (Failed(written))
            return written == kDiskFull ? ENOSPC : EIO;
    }
}

TreeCopyResult CopyFile(int from, const ItemStat& stat, int toFolderFd, const std::string& toName) {
    const std::string random = RandomHex(kTempRandomBytes);
    if (random.empty())
        return TreeCopyResult::Failed;
    const std::string tempName = Utf16ToUtf8(kUploadTempPrefix) + random;
    FdOrErrno created = CreateNewFileAt(toFolderFd, tempName);
    if (!created.Ok())
        return ResultFor(created.error);
    int err = CopyData(from, created.fd.Get());
    if (err == 0) {
        CopyDeadProperties(from, created.fd.Get());
        SetModifiedTime(created.fd.Get(), stat.lastWriteTime);
        err = SyncFileData(created.fd.Get());
    }
    created.fd.Reset();
    if (err == 0)
        err = RenameNoReplace(toFolderFd, tempName, toFolderFd, toName);
    if (err != 0)
        RemoveFileAt(toFolderFd, tempName);
    return ResultFor(err);
}

} // namespace

TreeCopyResult CopyTree(const ShareRoot& root, PathComponents& source, int toFolderFd,
                        const std::string& toName, bool recursive, bool showHidden,
                        std::uint32_t depthLeft) {
    UniqueFd from;
    ItemStat stat;
    const OpenResult opened = OpenItem(root, source, ItemAccess::Read, showHidden, from, stat);
    if (opened == OpenResult::Denied)
        return TreeCopyResult::Denied;
    if (opened != OpenResult::Ok)
        return TreeCopyResult::Failed;
    if (!stat.IsDirectory())
        return CopyFile(from.Get(), stat, toFolderFd, toName);

    if (const int err = MakeFolderAt(toFolderFd, toName); err != 0)
        return ResultFor(err);
    // The new folder was made by this very call a moment ago; O_NOFOLLOW
    // keeps a link put in its place from being entered.
    const UniqueFd made(
        ::openat(toFolderFd, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!made.IsValid())
        return ResultFor(errno);
    CopyDeadProperties(from.Get(), made.Get());
    if (recursive && depthLeft > 0) {
        std::vector<DirEntry> entries;
        if (!EnumerateDirectory(from.Get(), entries))
            return TreeCopyResult::Failed;
        for (const DirEntry& entry : entries) {
            if (!IsListedEntry(root, source, entry, showHidden))
                continue;
            source.push_back(entry.name);
            const TreeCopyResult result = CopyTree(
                root, source, made.Get(), Utf16ToUtf8(entry.name), true, showHidden, depthLeft - 1);
            source.pop_back();
            if (result != TreeCopyResult::Copied)
                return result;
        }
    }
    SetModifiedTime(made.Get(), stat.lastWriteTime);
    return TreeCopyResult::Copied;
}

} // namespace Velto::Corvane
