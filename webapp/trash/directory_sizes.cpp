#include "webapp/trash/directory_sizes.h"

#include "base/file_util.h"
#include "base/interrupt_retry.h"
#include "base/system_random.h"
#include "base/unique_fd.h"
#include "server/http/percent_coding.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/rename_at.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Velto::Corvane {

namespace {

constexpr const char* kCacheName = "directorysizes";
constexpr std::string_view kTempPrefix = "directorysizes.";
constexpr std::size_t kTempRandomBytes = 8;
constexpr std::size_t kReadPiece = 65536;
// A cache larger than this is not read back; it is started afresh.
constexpr std::size_t kMaxCacheBytes = 64 * 1024 * 1024;

// The name part of a cache line: everything after the second space.
std::string_view LineName(std::string_view line) {
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t second = line.find(' ', first + 1);
    return second == std::string_view::npos ? std::string_view() : line.substr(second + 1);
}

std::string ReadCache(int trashFd) {
    const UniqueFd fd(
        ::openat(trashFd, kCacheName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    std::string text;
    if (!fd)
        return text;
    std::array<char, kReadPiece> piece;
    for (;;) {
        const ssize_t got =
            RetryOnInterrupt([&] { return ::read(fd.Get(), piece.data(), piece.size()); });
        if (got <= 0 || text.size() + static_cast<std::size_t>(got) > kMaxCacheBytes)
            break;
        text.append(piece.data(), static_cast<std::size_t>(got));
    }
    return text;
}

} // namespace

std::string MergeDirectorySizes(std::string_view existing,
                                const std::vector<DirectorySize>& added) {
    std::vector<std::string> addedNames;
    addedNames.reserve(added.size());
    for (const DirectorySize& entry : added)
        addedNames.push_back(PercentEncode(entry.name, true));

    std::string text;
    while (!existing.empty()) {
        const std::size_t end = existing.find('\n');
        const std::string_view line = existing.substr(0, end);
        existing = end == std::string_view::npos ? std::string_view() : existing.substr(end + 1);
        const std::string_view name = LineName(line);
        if (name.empty())
            continue;
        bool replaced = false;
        for (const std::string& addedName : addedNames)
            replaced = replaced || addedName == name;
        if (replaced)
            continue;
        text.append(line);
        text.push_back('\n');
    }
    for (std::size_t i = 0; i < added.size(); ++i) {
        text += std::to_string(added[i].bytes);
        text += ' ';
        text += std::to_string(added[i].infoTime);
        text += ' ';
        text += addedNames[i];
        text += '\n';
    }
    return text;
}

bool RecordDirectorySizes(int trashFd, const std::vector<DirectorySize>& added) {
    if (added.empty())
        return true;
    const std::string text = MergeDirectorySizes(ReadCache(trashFd), added);
    const std::string random = RandomHex(kTempRandomBytes);
    if (random.empty())
        return false;
    const std::string temp = std::string(kTempPrefix) + random;
    FdOrErrno file = CreateNewFileAt(trashFd, temp);
    if (!file.Ok())
        return false;
    const bool written = Succeeded(WriteAll(file.fd.Get(), text));
    file.fd.Reset();
    if (!written || RenameReplacing(trashFd, temp, trashFd, kCacheName) != 0) {
        RemoveFileAt(trashFd, temp);
        return false;
    }
    return true;
}

} // namespace Velto::Corvane
