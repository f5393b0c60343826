#pragma once

#include "base/result.h"
#include "server/http/http_body.h"

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

// Steps every upload route shares: a PUT of a whole file and the pieces of a
// resumable upload stream into the same kind of hidden temporary file and
// fail with the same replies.

// Space that must stay free beyond the bytes still to come.
constexpr std::uint64_t kFreeSpaceMargin = 1'048'576;

enum class UploadError { None, TooLarge, NoSpace, Aborted, Failed };

struct UploadErrorReply {
    std::int32_t status;
    std::string_view code;
};

UploadErrorReply ReplyFor(UploadError error);
UploadError WriteErrorFor(Result result);

// True when the file system of `fd` keeps `bytes` more and the margin; a free
// space that cannot be found out counts as none.
bool HasRoomFor(int fd, std::uint64_t bytes);

// Streams the body into `fd` at its current position, which `written` holds
// on entry. Stops at the first error; `received` counts every body byte read,
// and `written` ends as the file position after the last byte written. Bytes already read when the
// body breaks off are still written, so a resumable upload keeps them. A `limit` of 0 means none; a
// body longer than it stops with TooLarge before the excess is written.
UploadError TransferBody(HttpBody& body, int fd, std::uint64_t limit, std::uint64_t& received,
                         std::uint64_t& written);

// The hidden temporary name of a new upload beside its destination; empty
// when the random source fails.
std::string NewUploadTempName();

} // namespace Velto::Corvane
