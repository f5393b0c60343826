#pragma once

#include "webapp/trash/directory_sizes.h"
#include "webapp/trash/recycle_result.h"
#include "webapp/trash/trash_folder.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Velto::Corvane {

// Moves items to the freedesktop.org trash of their own mount, the way file
// managers and trash-cli expect to find them. One batch serves one request:
// it opens each mount's trash once, and records the sizes of the folders it
// moved when Finish is called.
class TrashBatch {
public:
    // `homeTrash`: the user's home trash folder (may be empty).
    TrashBatch(std::string homeTrash, uid_t uid);
    TrashBatch(const TrashBatch&) = delete;
    TrashBatch& operator=(const TrashBatch&) = delete;

    // Finds the trash for items on `mountId`; false when that mount has none
    // that can be used (the items there could only be deleted for good).
    bool Prepare(std::uint64_t mountId);

    // Moves `name` from the folder `parentFd` (which lies on `mountId`, a
    // prepared mount) to the trash: first a new ".trashinfo" record, created
    // exclusively with `originalPath` and the time, then the rename into
    // "files" under the same name; a name taken in the trash gives the next
    // numbered name. The item is never copied: a rename that would cross
    // mounts is NoRecycleBin and leaves it where it was.
    RecycleResult Move(std::uint64_t mountId, int parentFd, const std::string& name,
                       const std::string& originalPath);

    // Records the sizes of the folders moved so far in their trash's cache.
    void Finish();

private:
    struct Bin {
        TrashFolder folder;
        std::vector<DirectorySize> movedFolders;
    };
    Bin* FindBin(std::uint64_t mountId);

    const std::string m_homeTrash;
    const uid_t m_uid;
    std::vector<Bin> m_bins;
};

} // namespace Velto::Corvane
