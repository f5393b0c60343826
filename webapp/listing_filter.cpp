#include "webapp/listing_filter.h"

#include "base/unique_fd.h"
#include "webapp/fs/file_attributes.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/open_item.h"

namespace Velto::Corvane {

namespace {

constexpr std::uint32_t kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

bool IsListedEntry(const ShareRoot& root, PathComponents& folder, const DirEntry& entry,
                   bool showHidden) {
    if (IsUploadTempName(entry.name))
        return false;
    if (!showHidden && (entry.attributes & kHiddenOrSystem) != 0)
        return false;
    if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || !IsLink(entry.reparseTag))
        return true;
    folder.push_back(entry.name);
    UniqueFd handle;
    ItemStat stat;
    const OpenResult opened =
        OpenItem(root, folder, ItemAccess::ReadAttributes, showHidden, handle, stat);
    folder.pop_back();
    return opened == OpenResult::Ok;
}

} // namespace Velto::Corvane
