// Upload: one file per PUT to the file's own address, streamed into a hidden
// temporary file beside its destination and made visible by a single rename
// once it is complete and on the disk.
#include "webapp/web_app.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "server/http/request_helpers.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/disk_sync.h"
#include "webapp/fs/modified_time.h"
#include "webapp/fs/open_folder.h"
#include "webapp/fs/zone_identifier.h"
#include "webapp/uploads/destination_folder.h"
#include "webapp/uploads/final_name.h"
#include "webapp/uploads/temporary_upload.h"
#include "webapp/uploads/upload_transfer.h"

#include <fcntl.h>

namespace Velto::Corvane {

namespace {

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
    if (expectedKnown && !HasRoomFor(folder.Get(), expected))
        return Refused(507, "noSpace", true);

    const std::string tempName = NewUploadTempName();
    if (tempName.empty())
        return Refused(403, "denied", false);
    // Noted in the data folder before the file exists, so a process killed
    // meanwhile has its leftover removed at the next start; the note goes
    // after the file (declared first, it is destroyed last).
    const UploadStateStore::RunningPut running =
        m_uploads.NoteRunningPut(DestinationFolderPath(target.root, target.components), tempName);
    FdOrErrno created = CreateNewFileAt(folder.Get(), tempName);
    if (!created.Ok())
        return Refused(403, "denied", false);
    TemporaryUpload temp(folder.Get(), tempName, std::move(created.fd));
    ::posix_fadvise(temp.Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::uint64_t total = 0;
    std::uint64_t written = 0;
    UploadError error = TransferBody(context.body, temp.Fd(), limit, total, written);
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
        const UploadErrorReply reply = ReplyFor(error);
        LogAccess(context, "upload", target.DisplayPath(), reply.status, total);
        return Refused(reply.status, reply.code, true);
    }

    const std::u16string finalName = MoveToFinalName(folder.Get(), temp.Name(), fileName,
                                                     options.naming == UploadNaming::Replace,
                                                     options.naming == UploadNaming::Numbered);
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
