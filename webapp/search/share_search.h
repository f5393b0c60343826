#pragma once

#include "webapp/fs/dir_entry.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_result.h"
#include "webapp/fs/share_root.h"
#include "webapp/search/name_query.h"

#include <chrono>
#include <cstddef>
#include <functional>

namespace Velto::Corvane {

// How far one search may go before it answers with what it found.
struct SearchLimits {
    std::size_t maxResults{0};
    // Folders waiting to be read; a tree wider than this is cut.
    std::size_t maxPendingFolders{0};
    std::chrono::steady_clock::duration budget{};
};

struct SearchOutcome {
    // The starting folder's open result; nothing was searched unless Ok.
    OpenResult start{OpenResult::Failed};
    // True when a limit stopped the walk before every folder was read.
    bool truncated{false};
    std::size_t found{0};
};

// Called for each match with the folder that holds it (components below the
// share's root) and the entry as a listing of that folder gives it.
using SearchMatch = std::function<void(const PathComponents& folder, const DirEntry& entry)>;

// Searches the folder `start` of a folder share and everything below it for
// items whose names match `query`, reading each folder exactly as a listing
// does: OpenItem, then EnumerateDirectory, with the listing's rules for what
// is shown (no upload temporary names, no hidden items unless `showHidden`,
// links only when they open inside the share). Folders are read breadth
// first, so the nearest matches come first; folders reached through a link
// wait until the folders without one are done, and a folder already read
// (a link loop, or two links to one place) is never read again.
SearchOutcome SearchShare(const ShareRoot& root, const PathComponents& start,
                          const NameQuery& query, bool showHidden, const SearchLimits& limits,
                          const SearchMatch& onMatch);

} // namespace Velto::Corvane
