#include "webapp/fs/getdents_enumerator.h"

#include "base/interrupt_retry.h"
#include "webapp/fs/file_attributes.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/statx_call.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kEnumerateBufferBytes = 65536;
// A getdents64 record of a name of a few bytes, padded to 8.
constexpr std::size_t kSmallestRecordBytes = 24;

// The record layout getdents64 writes.
struct Dirent64Header {
    std::uint64_t inode;
    std::int64_t offset;
    unsigned short recordLength;
    unsigned char type;
};
constexpr std::size_t kDirentNameOffset = offsetof(Dirent64Header, type) + 1;

bool IsDotOrDotDot(std::string_view name) {
    return name == "." || name == "..";
}

// Fills `entry` from the file system; false when the entry is to be left out.
bool DescribeEntry(int dirFd, const char* name, DirEntry& entry) {
    RawStat own;
    if (StatAt(dirFd, name, false, own) != 0)
        return false;
    const bool hidden = IsHiddenName(entry.name);

    if (S_ISLNK(own.mode)) {
        entry.reparseTag = IO_REPARSE_TAG_SYMLINK;
        RawStat target;
        const bool described =
            StatAt(dirFd, name, true, target) == 0 && IsRegularOrDirectory(target.mode);
        const RawStat& shown = described ? target : own;
        const bool isDirectory = described && S_ISDIR(target.mode);
        entry.attributes = ItemAttributes(isDirectory, hidden) | FILE_ATTRIBUTE_REPARSE_POINT;
        entry.attributes &= ~FILE_ATTRIBUTE_NORMAL;
        entry.size = described && S_ISREG(target.mode) ? target.size : 0;
        entry.lastWriteTime = shown.lastWriteTime;
        return true;
    }
    if (!IsRegularOrDirectory(own.mode))
        return false;
    entry.attributes = ItemAttributes(S_ISDIR(own.mode), hidden);
    entry.size = S_ISREG(own.mode) ? own.size : 0;
    entry.lastWriteTime = own.lastWriteTime;
    return true;
}

ssize_t ReadEntries(int dirFd, std::byte* buffer, std::size_t size) {
    return RetryOnInterrupt([&] { return ::getdents64(dirFd, buffer, size); });
}

} // namespace

bool EnumerateDirectory(int dirFd, std::vector<DirEntry>& entries) {
    return EnumerateDirectory(dirFd, entries, WantedEntry());
}

bool EnumerateDirectory(int dirFd, std::vector<DirEntry>& entries, const WantedEntry& wanted) {
    entries.clear();
    if (::lseek(dirFd, 0, SEEK_SET) < 0)
        return false;

    const auto buffer = std::make_unique<std::byte[]>(kEnumerateBufferBytes);
    while (true) {
        const ssize_t got = ReadEntries(dirFd, buffer.get(), kEnumerateBufferBytes);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        // Room for every record of this batch at once: a folder of many
        // thousands of entries then grows the list a few times, not a dozen.
        entries.reserve(entries.size() + static_cast<std::size_t>(got) / kSmallestRecordBytes);

        std::size_t offset = 0;
        while (offset < static_cast<std::size_t>(got)) {
            const std::byte* record = buffer.get() + offset;
            Dirent64Header header;
            std::memcpy(&header, record, sizeof header);
            if (header.recordLength == 0 || offset + header.recordLength > std::size_t(got))
                return false;
            offset += header.recordLength;

            const char* name = reinterpret_cast<const char*>(record + kDirentNameOffset);
            const std::size_t maxLength = header.recordLength - kDirentNameOffset;
            const std::string_view nameBytes(name, ::strnlen(name, maxLength));
            if (nameBytes.size() == maxLength || IsDotOrDotDot(nameBytes))
                continue; // an unterminated name cannot be handed to statx

            std::optional<std::u16string> itemName = ItemNameFromBytes(nameBytes);
            if (!itemName)
                continue;
            if (wanted) {
                const bool mayBeFolder =
                    header.type == DT_DIR || header.type == DT_LNK || header.type == DT_UNKNOWN;
                if (!wanted(*itemName, mayBeFolder))
                    continue;
            }
            DirEntry entry;
            entry.name = std::move(*itemName);
            if (DescribeEntry(dirFd, name, entry))
                entries.push_back(std::move(entry));
        }
    }
}

} // namespace Velto::Corvane
