#include "webapp/trash/trash_batch.h"

#include "base/clock.h"
#include "base/file_util.h"
#include "base/utf.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/rename_at.h"
#include "webapp/fs/statx_call.h"
#include "webapp/numbered_name.h"
#include "webapp/trash/disk_usage.h"
#include "webapp/trash/trash_info.h"

#include <cerrno>
#include <sys/stat.h>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr std::size_t kMaxNameBytes = 255;
// Room for " (n)" with n up to kMaxTrashNames.
constexpr std::size_t kNumberRoom = 8;
constexpr std::uint32_t kMaxTrashNames = 9999;

// A name cut to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& name, std::size_t limit) {
    if (name.size() <= limit)
        return name;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

// The n-th name the item may take in the trash. The record beside it adds
// ".trashinfo", and both must fit the file system's name limit, so a long
// name is shortened first (the record keeps the original path).
std::string TrashEntryName(const std::string& name, std::uint32_t n) {
    const std::size_t fits = kMaxNameBytes - kInfoSuffix.size();
    if (n == 1 && name.size() <= fits)
        return name;
    const std::string stem = CutName(name, fits - kNumberRoom);
    if (n == 1)
        return stem;
    return Utf16ToUtf8(MakeNumberedName(Utf8ToUtf16(stem), n));
}

} // namespace

TrashBatch::TrashBatch(std::string homeTrash, uid_t uid)
    : m_homeTrash(std::move(homeTrash)), m_uid(uid) {}

TrashBatch::Bin* TrashBatch::FindBin(std::uint64_t mountId) {
    for (Bin& bin : m_bins) {
        if (bin.folder.mountId == mountId)
            return &bin;
    }
    return nullptr;
}

bool TrashBatch::Prepare(std::uint64_t mountId) {
    if (FindBin(mountId) != nullptr)
        return true;
    std::optional<TrashFolder> folder = FindTrashFolder(mountId, m_homeTrash, m_uid);
    if (!folder)
        return false;
    m_bins.push_back(Bin{std::move(*folder), {}});
    return true;
}

RecycleResult TrashBatch::Move(std::uint64_t mountId, int parentFd, const std::string& name,
                               const std::string& originalPath) {
    Bin* bin = FindBin(mountId);
    if (bin == nullptr)
        return RecycleResult::NoRecycleBin;
    RawStat item;
    if (StatAt(parentFd, name.c_str(), false, item) != 0)
        return RecycleResult::RecycleFailed;
    if (item.mountId != mountId)
        return RecycleResult::NoRecycleBin;
    const int infoFd = bin->folder.info.Get();
    const int filesFd = bin->folder.files.Get();
    const std::string record =
        TrashInfoText(TrashRecordPath(originalPath, bin->folder.topdir), NowFileTime());

    for (std::uint32_t n = 1; n <= kMaxTrashNames; ++n) {
        const std::string candidate = TrashEntryName(name, n);
        const std::string infoName = candidate + std::string(kInfoSuffix);
        // The record claims the name: whoever creates it first owns it.
        FdOrErrno info = CreateNewFileAt(infoFd, infoName);
        if (!info.Ok()) {
            if (info.error == EEXIST)
                continue;
            return RecycleResult::RecycleFailed;
        }
        if (Failed(WriteAll(info.fd.Get(), record))) {
            RemoveFileAt(infoFd, infoName);
            return RecycleResult::RecycleFailed;
        }
        const int moved = RenameNoReplace(parentFd, name, filesFd, candidate);
        if (moved == 0) {
            RawStat infoStat;
            if (S_ISDIR(item.mode) && StatFd(info.fd.Get(), infoStat) == 0) {
                if (const std::optional<std::uint64_t> bytes = FolderDiskUsage(filesFd, candidate))
                    bin->movedFolders.push_back(
                        {candidate, *bytes, UnixSecondsFromFileTime(infoStat.lastWriteTime)});
            }
            return RecycleResult::Recycled;
        }
        RemoveFileAt(infoFd, infoName);
        if (moved == EEXIST)
            continue; // an item without a record holds the name in "files"
        return moved == EXDEV ? RecycleResult::NoRecycleBin : RecycleResult::RecycleFailed;
    }
    return RecycleResult::RecycleFailed;
}

void TrashBatch::Finish() {
    for (Bin& bin : m_bins) {
        RecordDirectorySizes(bin.folder.base.Get(), bin.movedFolders);
        bin.movedFolders.clear();
    }
}

} // namespace Velto::Corvane
