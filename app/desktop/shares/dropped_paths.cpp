#include "app/desktop/shares/dropped_paths.h"

#include "base/utf.h"

#include <sys/stat.h>

namespace App {

std::vector<ShareCandidate> ShareCandidates(const std::vector<std::string>& paths) {
    std::vector<ShareCandidate> candidates;
    for (const std::string& path : paths) {
        std::u16string text;
        // A name that is not UTF-8 could not be shown or stored faithfully.
        if (path.empty() || !Velto::Utf8ToUtf16Strict(path, text))
            continue;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            continue;
        // Visitors can only be served regular files and folders.
        if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))
            continue;
        candidates.push_back(ShareCandidate{std::move(text), !S_ISDIR(info.st_mode)});
    }
    return candidates;
}

} // namespace App
