#include "webapp/uploads/upload_transfer.h"

#include "base/file_util.h"
#include "base/system_random.h"
#include "base/utf.h"
#include "webapp/fs/disk_sync.h"
#include "webapp/fs/free_space.h"
#include "webapp/fs/item_name.h"

#include <limits>
#include <memory>
#include <span>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kTransferBufferBytes = 262'144;
// Written bytes handed to the disk at a time while the body still arrives.
constexpr std::uint64_t kWritebackStretch = 8 * 1'048'576;
constexpr std::size_t kTempRandomBytes = 8;

} // namespace

UploadErrorReply ReplyFor(UploadError error) {
    switch (error) {
    case UploadError::TooLarge:
        return {413, "tooLarge"};
    case UploadError::NoSpace:
        return {507, "noSpace"};
    case UploadError::Aborted:
        return {400, "aborted"};
    case UploadError::None:
    case UploadError::Failed:
        break;
    }
    return {500, "failed"};
}

UploadError WriteErrorFor(Result result) {
    return result == kDiskFull ? UploadError::NoSpace : UploadError::Failed;
}

bool HasRoomFor(int fd, std::uint64_t bytes) {
    return bytes <= std::numeric_limits<std::uint64_t>::max() - kFreeSpaceMargin &&
           FreeBytesAvailable(fd) >= bytes + kFreeSpaceMargin;
}

// The buffer is filled before it is written, so a fast sender costs one write
// per buffer, and the disk starts on each stretch of the file while the next
// one arrives.
UploadError TransferBody(HttpBody& body, int fd, std::uint64_t limit, std::uint64_t& received,
                         std::uint64_t& written) {
    const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kTransferBufferBytes);
    std::uint64_t writebackFrom = written;
    bool ended = false;
    while (!ended) {
        std::size_t filled = 0;
        UploadError stop = UploadError::None;
        while (filled < kTransferBufferBytes) {
            std::size_t count = 0;
            if (!body.Read(std::span(buffer.get() + filled, kTransferBufferBytes - filled),
                           count)) {
                stop = UploadError::Aborted;
                break;
            }
            if (count == 0) {
                ended = true;
                break;
            }
            if (limit != 0 && received + count > limit) {
                received += count;
                return UploadError::TooLarge;
            }
            filled += count;
            received += count;
        }
        const Result result =
            WriteAll(fd, std::string_view(reinterpret_cast<const char*>(buffer.get()), filled));
        if (Failed(result))
            return WriteErrorFor(result);
        written += filled;
        if (stop != UploadError::None)
            return stop;
        if (written - writebackFrom >= kWritebackStretch) {
            StartWriteback(fd, writebackFrom, written - writebackFrom);
            writebackFrom = written;
        }
    }
    return UploadError::None;
}

std::string NewUploadTempName() {
    const std::string random = RandomHex(kTempRandomBytes);
    if (random.empty())
        return {};
    return Utf16ToUtf8(kUploadTempPrefix) + random;
}

} // namespace Velto::Corvane
