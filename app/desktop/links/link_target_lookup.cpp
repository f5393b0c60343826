#include "app/desktop/links/link_target_lookup.h"

#include "base/utf.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace App {

namespace {

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

// The path with every symbolic link, "." and ".." resolved; none when it
// does not exist.
std::optional<std::string> RealPath(std::u16string_view path) {
    const std::unique_ptr<char, FreeDeleter> resolved{
        ::realpath(Velto::Utf16ToUtf8(path).c_str(), nullptr)};
    if (!resolved)
        return std::nullopt;
    return std::string{resolved.get()};
}

// `path` relative to `root` (both resolved), or none when it lies outside.
std::optional<std::string> RelativeInside(const std::string& root, const std::string& path) {
    if (path == root)
        return std::string{};
    const std::string prefix = root == "/" ? root : root + "/";
    if (!path.starts_with(prefix))
        return std::nullopt;
    return path.substr(prefix.size());
}

} // namespace

LinkTargetKind LookUpLinkTarget(std::u16string_view root, std::u16string_view relative) {
    std::u16string full{root};
    if (!relative.empty()) {
        if (full.empty() || full.back() != u'/')
            full.push_back(u'/');
        full += relative;
    }
    const std::optional<std::string> realRoot = RealPath(root);
    const std::optional<std::string> realTarget = RealPath(full);
    if (!realRoot || !realTarget)
        return LinkTargetKind::Missing;
    if (!RelativeInside(*realRoot, *realTarget))
        return LinkTargetKind::Outside;
    struct stat info {};
    if (::stat(realTarget->c_str(), &info) != 0)
        return LinkTargetKind::Missing;
    if (S_ISDIR(info.st_mode))
        return LinkTargetKind::Folder;
    if (S_ISREG(info.st_mode))
        return LinkTargetKind::File;
    return LinkTargetKind::Missing;
}

std::optional<std::u16string> ResolvedPathInside(std::u16string_view root,
                                                 std::u16string_view absolute) {
    const std::optional<std::string> realRoot = RealPath(root);
    const std::optional<std::string> realPath = RealPath(absolute);
    if (!realRoot || !realPath)
        return std::nullopt;
    const std::optional<std::string> inside = RelativeInside(*realRoot, *realPath);
    if (!inside)
        return std::nullopt;
    return Velto::Utf8ToUtf16(*inside);
}

} // namespace App
