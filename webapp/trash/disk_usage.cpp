#include "webapp/trash/disk_usage.h"

#include "base/unique_fd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace Velto::Corvane {

namespace {

// Bounds on the walk: deeper trees and more open folders than this are not
// measured (the size record is a cache; its absence only costs a later walk).
constexpr std::size_t kMaxDepth = 256;
constexpr std::uint64_t kBytesPerStatBlock = 512;

struct DirCloser {
    void operator()(DIR* stream) const { ::closedir(stream); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

DirStream OpenStream(int dirFd, const char* name) {
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return nullptr;
    DIR* stream = ::fdopendir(fd.Get());
    if (stream == nullptr)
        return nullptr;
    fd.Release(); // now owned by the stream
    return DirStream(stream);
}

} // namespace

std::optional<std::uint64_t> FolderDiskUsage(int dirFd, const std::string& name) {
    struct stat top {};
    if (::fstatat(dirFd, name.c_str(), &top, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(top.st_mode))
        return std::nullopt;
    std::uint64_t total = static_cast<std::uint64_t>(top.st_blocks) * kBytesPerStatBlock;
    std::set<std::pair<dev_t, ino_t>> linkedFiles;

    std::vector<DirStream> stack;
    stack.push_back(OpenStream(dirFd, name.c_str()));
    if (!stack.back())
        return std::nullopt;
    while (!stack.empty()) {
        DIR* current = stack.back().get();
        errno = 0;
        const dirent* entry = ::readdir(current);
        if (entry == nullptr) {
            if (errno != 0)
                return std::nullopt;
            stack.pop_back();
            continue;
        }
        const std::string_view entryName(entry->d_name);
        if (entryName == "." || entryName == "..")
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(current), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        if (info.st_dev != top.st_dev)
            continue; // a mount inside: not part of this folder's space
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1 &&
            !linkedFiles.emplace(info.st_dev, info.st_ino).second)
            continue;
        total += static_cast<std::uint64_t>(info.st_blocks) * kBytesPerStatBlock;
        if (!S_ISDIR(info.st_mode))
            continue;
        if (stack.size() >= kMaxDepth)
            return std::nullopt;
        DirStream child = OpenStream(::dirfd(current), entry->d_name);
        if (!child)
            return std::nullopt;
        stack.push_back(std::move(child));
    }
    return total;
}

} // namespace Velto::Corvane
