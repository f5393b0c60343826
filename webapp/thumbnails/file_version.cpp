#include "webapp/thumbnails/file_version.h"

#include <sys/stat.h>

namespace Velto::Corvane {

std::optional<FileVersion> FileVersionOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    constexpr std::int64_t kNsPerSecond = 1'000'000'000;
    return FileVersion{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNsPerSecond + info.st_mtim.tv_nsec,
        static_cast<std::uint64_t>(info.st_size)};
}

} // namespace Velto::Corvane
