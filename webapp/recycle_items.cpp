#include "webapp/recycle_items.h"

#include "base/utf.h"
#include "webapp/fs/parent_folders.h"
#include "webapp/trash/home_trash.h"
#include "webapp/trash/trash_batch.h"

#include <unistd.h>

namespace Velto::Corvane {

RecycleResult RecycleItems(const ShareRoot& root, bool showHidden,
                           const std::vector<DeleteItem>& items) {
    TrashBatch batch(HomeTrashPath(), ::getuid());
    for (const DeleteItem& item : items) {
        if (!batch.Prepare(item.mountId))
            return RecycleResult::NoRecycleBin;
    }
    ParentFolders parents(root, showHidden);
    RecycleResult result = RecycleResult::Recycled;
    for (const DeleteItem& item : items) {
        int folderFd = -1;
        std::uint64_t mountId = 0;
        if (parents.Open(item.components, folderFd, mountId) != OpenResult::Ok) {
            result = RecycleResult::RecycleFailed;
            break;
        }
        // The folder may have been replaced since it was checked.
        if (!batch.Prepare(mountId)) {
            result = RecycleResult::NoRecycleBin;
            break;
        }
        result = batch.Move(mountId, folderFd, Utf16ToUtf8(item.components.back()), item.fullPath);
        if (result != RecycleResult::Recycled)
            break;
    }
    batch.Finish();
    return result;
}

} // namespace Velto::Corvane
