#include "webapp/fs/open_folder.h"

#include "webapp/fs/open_item.h"

namespace Velto::Corvane {

OpenResult OpenFolder(const ShareRoot& root, std::span<const std::u16string> components,
                      bool allowHidden, UniqueFd& folder, ItemStat& stat) {
    UniqueFd opened;
    ItemStat found;
    const OpenResult result =
        OpenItem(root, components, ItemAccess::ReadAttributes, allowHidden, opened, found);
    if (result != OpenResult::Ok)
        return result;
    if (!found.IsDirectory())
        return OpenResult::NotFound;
    folder = std::move(opened);
    stat = found;
    return OpenResult::Ok;
}

OpenResult OpenParentFolder(const ShareRoot& root, std::span<const std::u16string> components,
                            bool allowHidden, UniqueFd& folder) {
    if (components.empty())
        return OpenResult::NotFound;
    if (!root.fileName.empty())
        return OpenShareRootDirectory(root, folder);
    ItemStat stat;
    return OpenFolder(root, components.first(components.size() - 1), allowHidden, folder, stat);
}

} // namespace Velto::Corvane
