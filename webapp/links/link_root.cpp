#include "webapp/links/link_root.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "webapp/fs/open_item.h"
#include "webapp/fs/proc_fd_path.h"

namespace Velto::Corvane {

std::optional<ShareRoot> ResolveLinkRoot(const ShareRoot& shareRoot,
                                         std::span<const std::u16string> target, bool showHidden) {
    if (target.empty())
        return shareRoot;
    UniqueFd handle;
    ItemStat stat;
    if (OpenItem(shareRoot, target, ItemAccess::ReadAttributes, showHidden, handle, stat) !=
        OpenResult::Ok)
        return std::nullopt;
    // The confined walk proved this place lies inside the share; the root
    // made from its path must be that same place, not what a link put there
    // since leads to.
    const std::optional<std::string> reached = FinalPathOfFd(handle.Get());
    if (!reached)
        return std::nullopt;
    const bool isFile = !stat.IsDirectory();
    std::optional<ShareRoot> root = ResolveShareRoot(Utf8ToUtf16(*reached), isFile);
    if (!root)
        return std::nullopt;
    std::u16string resolved = root->dir;
    if (isFile) {
        if (resolved.empty() || resolved.back() != u'/')
            resolved += u'/';
        resolved += root->fileName;
    }
    if (Utf16ToUtf8(resolved) != *reached)
        return std::nullopt;
    return root;
}

} // namespace Velto::Corvane
