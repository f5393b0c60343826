#pragma once

#include "config/config.h"

#include <string>
#include <vector>

namespace App {

constexpr std::size_t kMaxShareNameUnits = 64;

// The share name for a path: its last component with characters a share name
// cannot hold replaced by "_", without leading or trailing spaces and dots,
// cut to 64 UTF-16 code units; "Share" when nothing is left.
std::u16string ShareNameForPath(std::u16string_view path);

// `name`, or `name (2)`, `name (3)`, ... — the first that no name in `taken`
// matches ignoring case (kept within 64 code units).
std::u16string UniqueShareName(const std::u16string& name,
                               const std::vector<std::u16string>& taken);

struct TemporarySharesResult {
    std::vector<Velto::Corvane::Share> shares;
    std::string error; // names the first path that cannot be shared
};

// Read-only guest shares for the given paths: each path must name an existing
// folder or regular file and is made absolute (links resolved). Names are
// unique among themselves and among `existing`.
TemporarySharesResult MakeTemporaryShares(const std::vector<std::string>& paths,
                                          const std::vector<Velto::Corvane::Share>& existing);

} // namespace App
