#pragma once

#include "base/unique_fd.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_result.h"
#include "webapp/fs/share_root.h"

#include <cstdint>
#include <span>
#include <string>

namespace Velto::Corvane {

// Opens the folders that hold a run of items, each through the confined walk
// (OpenParentFolder), keeping the last one open while the following items lie
// in the same folder: a request for thousands of items in one folder walks
// to it once.
class ParentFolders {
public:
    ParentFolders(const ShareRoot& root, bool allowHidden)
        : m_root(root), m_allowHidden(allowHidden) {}

    // The folder holding the item at `components` (not empty) and the mount it
    // lies on. The descriptor stays valid until the next call.
    OpenResult Open(std::span<const std::u16string> components, int& folderFd,
                    std::uint64_t& mountId);

private:
    const ShareRoot& m_root;
    const bool m_allowHidden;
    PathComponents m_openedFor; // the parent components of m_folder
    UniqueFd m_folder;
    std::uint64_t m_mountId{0};
};

} // namespace Velto::Corvane
