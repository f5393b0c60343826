#include "webapp/search/share_search.h"

#include "base/unique_fd.h"
#include "webapp/fs/file_attributes.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/open_item.h"
#include "webapp/fs/statx_call.h"

#include <deque>
#include <set>
#include <utility>
#include <vector>

namespace Velto::Corvane {

namespace {

constexpr std::uint32_t kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct FolderIdentity {
    std::uint64_t device{0};
    std::uint64_t inode{0};
    auto operator<=>(const FolderIdentity&) const = default;
};

// The state of one walk: folders still to read and those already read.
class ShareWalk {
public:
    ShareWalk(const ShareRoot& root, const NameQuery& query, bool showHidden,
              const SearchLimits& limits, const SearchMatch& onMatch)
        : m_root(root), m_query(query), m_showHidden(showHidden), m_limits(limits),
          m_onMatch(onMatch), m_deadline(std::chrono::steady_clock::now() + limits.budget) {}

    SearchOutcome Run(const PathComponents& start) {
        SearchOutcome outcome;
        outcome.start = ReadFolder(start, true);
        if (outcome.start != OpenResult::Ok)
            return outcome;
        while (!m_stopped && (!m_plain.empty() || !m_linked.empty())) {
            if (std::chrono::steady_clock::now() >= m_deadline) {
                m_truncated = true;
                break;
            }
            std::deque<PathComponents>& queue = m_plain.empty() ? m_linked : m_plain;
            const PathComponents folder = std::move(queue.front());
            queue.pop_front();
            ReadFolder(folder, false);
        }
        outcome.truncated = m_truncated;
        outcome.found = m_found;
        return outcome;
    }

private:
    // Reads one folder, reports its matches and queues its sub-folders. A
    // folder that cannot be read now (gone, denied) is passed over, except
    // the starting one, whose result is the answer.
    OpenResult ReadFolder(const PathComponents& folder, bool isStart) {
        UniqueFd handle;
        ItemStat stat;
        const OpenResult opened =
            OpenItem(m_root, folder, ItemAccess::ListDirectory, m_showHidden, handle, stat);
        if (opened != OpenResult::Ok)
            return opened;
        if (!stat.IsDirectory())
            return OpenResult::NotFound;
        RawStat identity;
        if (StatFd(handle.Get(), identity) != 0)
            return OpenResult::Failed;
        if (!m_read.insert({identity.device, identity.inode}).second)
            return OpenResult::Ok;
        // What a listing would leave out, and files whose names do not match,
        // are never described; the folders and links the walk must look into
        // stay.
        const WantedEntry wanted = [this](std::u16string_view name, bool mayBeFolder) {
            if (IsUploadTempName(name) || (!m_showHidden && IsHiddenName(name)))
                return false;
            return mayBeFolder || m_query.Matches(name);
        };
        if (!EnumerateDirectory(handle.Get(), m_entries, wanted))
            return isStart ? OpenResult::Failed : OpenResult::Ok;
        handle.Reset();

        PathComponents path = folder;
        for (const DirEntry& entry : m_entries) {
            if (IsUploadTempName(entry.name))
                continue;
            if (!m_showHidden && (entry.attributes & kHiddenOrSystem) != 0)
                continue;
            const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool isLink =
                (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLink(entry.reparseTag);
            const bool matches = m_query.Matches(entry.name);
            const bool descend = isFolder && folder.size() < kMaxPathComponents;
            if (!matches && !descend)
                continue;

            path.push_back(entry.name);
            // A link counts only where a listing would show it: when it opens
            // inside the share.
            if (isLink && !OpensInside(path)) {
                path.pop_back();
                continue;
            }
            if (matches && !Report(folder, entry)) {
                path.pop_back();
                return OpenResult::Ok;
            }
            if (descend)
                Queue(path, isLink);
            path.pop_back();
        }
        return OpenResult::Ok;
    }

    bool OpensInside(const PathComponents& path) const {
        UniqueFd handle;
        ItemStat stat;
        return OpenItem(m_root, path, ItemAccess::ReadAttributes, m_showHidden, handle, stat) ==
               OpenResult::Ok;
    }

    // False once the results are full: the walk stops there.
    bool Report(const PathComponents& folder, const DirEntry& entry) {
        if (m_found >= m_limits.maxResults) {
            m_truncated = true;
            m_stopped = true;
            return false;
        }
        ++m_found;
        m_onMatch(folder, entry);
        return true;
    }

    void Queue(const PathComponents& path, bool isLink) {
        if (m_plain.size() + m_linked.size() >= m_limits.maxPendingFolders) {
            m_truncated = true;
            return;
        }
        (isLink ? m_linked : m_plain).push_back(path);
    }

    const ShareRoot& m_root;
    const NameQuery& m_query;
    const bool m_showHidden;
    const SearchLimits& m_limits;
    const SearchMatch& m_onMatch;
    const std::chrono::steady_clock::time_point m_deadline;
    std::deque<PathComponents> m_plain;  // folders reached without a link
    std::deque<PathComponents> m_linked; // folders reached through a link
    std::set<FolderIdentity> m_read;
    std::vector<DirEntry> m_entries; // one buffer for every folder's entries
    std::size_t m_found{0};
    bool m_truncated{false};
    bool m_stopped{false};
};

} // namespace

SearchOutcome SearchShare(const ShareRoot& root, const PathComponents& start,
                          const NameQuery& query, bool showHidden, const SearchLimits& limits,
                          const SearchMatch& onMatch) {
    return ShareWalk(root, query, showHidden, limits, onMatch).Run(start);
}

} // namespace Velto::Corvane
