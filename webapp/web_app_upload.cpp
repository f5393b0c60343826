// Upload: one file per PUT to the file's own address, streamed into a hidden
// temporary file beside its destination and made visible by a single rename
// once it is complete and on the disk.
#include "webapp/web_app.h"

#include "base/file_util.h"
#include "base/system_random.h"
#include "base/unique_fd.h"
#include "base/utf.h"
#include "server/http/request_helpers.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/disk_sync.h"
#include "webapp/fs/free_space.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/modified_time.h"
#include "webapp/fs/open_folder.h"
#include "webapp/fs/rename_at.h"
#include "webapp/fs/zone_identifier.h"
#include "webapp/numbered_name.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <memory>

namespace Velto::Corvane {

namespace {

// Space that must stay free beyond a body of known length.
constexpr std::uint64_t kFreeSpaceMargin = 1'048'576;
constexpr std::size_t kTransferBufferBytes = 262'144;
// Written bytes handed to the disk at a time while the body still arrives.
constexpr std::uint64_t kWritebackStretch = 8 * 1'048'576;
constexpr std::size_t kTempRandomBytes = 8;
constexpr std::uint32_t kMaxNumberedName = 9999;

enum class UploadError { None, TooLarge, NoSpace, Aborted, Failed };

struct ErrorReply {
    std::int32_t status;
    std::string_view code;
};

ErrorReply ReplyFor(UploadError error) {
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

// The temporary file of one upload. It is removed when this goes out of scope
// unless it was renamed to its final name, so no path out of the route (an
// exception included) leaves it behind.
class TemporaryUpload {
public:
    TemporaryUpload(int folderFd, std::string name, UniqueFd file)
        : m_folderFd(folderFd), m_name(std::move(name)), m_file(std::move(file)) {}
    TemporaryUpload(const TemporaryUpload&) = delete;
    TemporaryUpload& operator=(const TemporaryUpload&) = delete;
    ~TemporaryUpload() { Discard(); }

    int Fd() const { return m_file.Get(); }
    const std::string& Name() const { return m_name; }
    void Close() { m_file.Reset(); }
    // The file now lives under its final name.
    void Release() { m_name.clear(); }
    // Removes the file now, before the reply tells the client it is gone.
    void Discard() {
        m_file.Reset();
        if (!m_name.empty())
            RemoveFileAt(m_folderFd, m_name);
        m_name.clear();
    }

private:
    int m_folderFd;
    std::string m_name;
    UniqueFd m_file;
};

// Streams the body into the file. Stops at the first error; `total` counts
// every body byte received, written or not. The buffer is filled before it
// is written, so a fast sender costs one write per buffer, and the disk
// starts on each stretch of the file while the next one arrives.
UploadError Transfer(HttpBody& body, int fd, std::uint64_t limit, std::uint64_t& total) {
    const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kTransferBufferBytes);
    std::uint64_t written = 0;
    std::uint64_t writebackFrom = 0;
    bool ended = false;
    while (!ended) {
        std::size_t filled = 0;
        while (filled < kTransferBufferBytes) {
            std::size_t count = 0;
            if (!body.Read(std::span(buffer.get() + filled, kTransferBufferBytes - filled), count))
                return UploadError::Aborted;
            if (count == 0) {
                ended = true;
                break;
            }
            filled += count;
            total += count;
            if (limit != 0 && total > limit)
                return UploadError::TooLarge;
        }
        const Result result =
            WriteAll(fd, std::string_view(reinterpret_cast<const char*>(buffer.get()), filled));
        if (Failed(result))
            return WriteErrorFor(result);
        written += filled;
        if (written - writebackFrom >= kWritebackStretch) {
            StartWriteback(fd, writebackFrom, written - writebackFrom);
            writebackFrom = written;
        }
    }
    return UploadError::None;
}

// Gives the finished temporary file its final name in the same folder, as
// `naming` says. Empty when there is none.
std::u16string MoveToFinalName(int folderFd, const std::string& temp, const std::u16string& name,
                               WebApp::UploadNaming naming) {
    if (naming == WebApp::UploadNaming::Replace)
        return RenameReplacing(folderFd, temp, folderFd, Utf16ToUtf8(name)) == 0 ? name
                                                                                 : std::u16string();
    const std::uint32_t last = naming == WebApp::UploadNaming::Exact ? 1 : kMaxNumberedName;
    for (std::uint32_t n = 1; n <= last; ++n) {
        const std::u16string candidate = n == 1 ? name : MakeNumberedName(name, n);
        const std::string bytes = Utf16ToUtf8(candidate);
        if (candidate.size() > kMaxItemNameUnits || bytes.size() > kMaxItemNameBytes)
            break;
        const int err = RenameNoReplace(folderFd, temp, folderFd, bytes);
        if (err == 0)
            return candidate;
        if (err != EEXIST)
            break;
    }
    return {};
}

WebApp::UploadOutcome Refused(std::int32_t status, std::string_view code, bool closeConnection) {
    return {status, code, {}, closeConnection};
}

} // namespace

void WebApp::ReceiveUpload(Context& context, std::u16string_view shareName,
                           std::u16string_view itemPath) {
    const bool overwrite = QueryParam(context.request, "overwrite") == "1";
    const AccessFlags required =
        overwrite ? (AccessFlags::Write | AccessFlags::Delete) : AccessFlags::Write;
    ShareTarget target;
    if (!OpenShare(context, shareName, itemPath, required, target))
        return;
    UploadOptions options;
    options.naming = overwrite ? UploadNaming::Replace : UploadNaming::Numbered;
    const UploadOutcome outcome = StoreUpload(context, target, options);
    if (outcome.closeConnection)
        context.response.CloseAfter();
    if (outcome.status != 201)
        return SendError(context.response, outcome.status, outcome.code);
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("name", JsonValue(Utf16ToUtf8(outcome.finalName)));
    SendJson(context.response, 201, reply);
}

WebApp::UploadOutcome WebApp::StoreUpload(Context& context, const ShareTarget& target,
                                          const UploadOptions& options) {
    if (target.components.empty())
        return Refused(400, "badPath", false);
    const std::u16string& fileName = target.components.back();

    // Every step below works on this descriptor of the destination folder,
    // never on its path again: a folder replaced by a link meanwhile cannot
    // send the file anywhere else.
    UniqueFd folder;
    if (OpenParentFolder(target.root, target.components, context.config->showHidden, folder) !=
        OpenResult::Ok)
        return Refused(404, "notFound", false);

    const std::int64_t configuredLimit = target.share->maxUploadBytes;
    const std::uint64_t limit =
        configuredLimit > 0 ? static_cast<std::uint64_t>(configuredLimit) : 0;
    std::uint64_t length = 0;
    const bool lengthKnown = context.body.ContentLength(length);
    // An announced length is only a promise: it decides the refusals below,
    // while the body itself is still held to the limit as it arrives.
    std::uint64_t expected = length;
    const bool expectedKnown = lengthKnown || options.announcedLength.has_value();
    if (!lengthKnown && options.announcedLength)
        expected = *options.announcedLength;
    if (expectedKnown && limit != 0 && expected > limit)
        return Refused(413, "tooLarge", true);
    // Refused before a byte is read; a free space that cannot be found out
    // counts as none.
    if (expectedKnown && (expected > std::numeric_limits<std::uint64_t>::max() - kFreeSpaceMargin ||
                          FreeBytesAvailable(folder.Get()) < expected + kFreeSpaceMargin))
        return Refused(507, "noSpace", true);

    const std::string random = RandomHex(kTempRandomBytes);
    if (random.empty())
        return Refused(403, "denied", false);
    const std::string tempName = Utf16ToUtf8(kUploadTempPrefix) + random;
    FdOrErrno created = CreateNewFileAt(folder.Get(), tempName);
    if (!created.Ok())
        return Refused(403, "denied", false);
    TemporaryUpload temp(folder.Get(), tempName, std::move(created.fd));
    ::posix_fadvise(temp.Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::uint64_t total = 0;
    UploadError error = Transfer(context.body, temp.Fd(), limit, total);
    if (error == UploadError::None && lengthKnown && total != length)
        error = UploadError::Aborted;
    if (error == UploadError::None) {
        // Marked before anyone can see it; file systems without user
        // attributes simply keep no mark.
        WriteZoneIdentifier(temp.Fd());
        if (options.modified)
            SetModifiedTime(temp.Fd(), *options.modified);
        // The reply promises a stored file: its bytes reach the disk before
        // the rename makes it visible.
        if (const int err = SyncFileData(temp.Fd()); err != 0)
            error = WriteErrorFor(ResultFromErrno(err));
    }
    temp.Close();
    if (error != UploadError::None) {
        temp.Discard();
        const ErrorReply reply = ReplyFor(error);
        LogAccess(context, "upload", target.DisplayPath(), reply.status, total);
        return Refused(reply.status, reply.code, true);
    }

    const std::u16string finalName =
        MoveToFinalName(folder.Get(), temp.Name(), fileName, options.naming);
    if (finalName.empty()) {
        temp.Discard();
        return Refused(409, "exists", false);
    }
    temp.Release();

    std::u16string display = target.DisplayPath();
    display.resize(display.size() - fileName.size());
    display += finalName;
    // The new name itself must survive a power cut too; a folder that cannot
    // be flushed means the 201 could not be kept.
    if (SyncFolder(folder.Get()) != 0) {
        LogAccess(context, "upload", display, 500, total);
        return Refused(500, "failed", false);
    }
    LogAccess(context, "upload", display, 201, total);
    return {201, {}, finalName, false};
}

} // namespace Velto::Corvane
