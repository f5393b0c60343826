#include "webapp/fs/parent_folders.h"

#include "webapp/fs/open_folder.h"
#include "webapp/fs/statx_call.h"

#include <algorithm>

namespace Velto::Corvane {

OpenResult ParentFolders::Open(std::span<const std::u16string> components, int& folderFd,
                               std::uint64_t& mountId) {
    if (components.empty())
        return OpenResult::NotFound;
    const std::span<const std::u16string> parent = components.first(components.size() - 1);
    if (!m_folder ||
        !std::equal(parent.begin(), parent.end(), m_openedFor.begin(), m_openedFor.end())) {
        m_folder.Reset();
        UniqueFd opened;
        const OpenResult result = OpenParentFolder(m_root, components, m_allowHidden, opened);
        if (result != OpenResult::Ok)
            return result;
        RawStat stat;
        if (const int err = StatFd(opened.Get(), stat); err != 0)
            return OpenResultFromErrno(err);
        m_folder = std::move(opened);
        m_openedFor.assign(parent.begin(), parent.end());
        m_mountId = stat.mountId;
    }
    folderFd = m_folder.Get();
    mountId = m_mountId;
    return OpenResult::Ok;
}

} // namespace Velto::Corvane
