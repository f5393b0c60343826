// Resumable uploads: the tus 1.0.0 protocol with its creation, termination
// and expiration extensions at /api/uploads/. Each piece streams into the
// same hidden temporary file a PUT uses, through the same steps, and every
// request passes the share gate again, so rights, confinement and limits
// hold for each piece as they do for a whole-file upload.
#include "webapp/web_app.h"

#include "base/clock.h"
#include "base/system_random.h"
#include "base/utf.h"
#include "server/http/http_date.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/disk_sync.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_folder.h"
#include "webapp/fs/zone_identifier.h"
#include "webapp/uploads/destination_folder.h"
#include "webapp/uploads/final_name.h"
#include "webapp/uploads/partial_file.h"
#include "webapp/uploads/temporary_upload.h"
#include "webapp/uploads/tus_headers.h"
#include "webapp/uploads/upload_owner.h"
#include "webapp/uploads/upload_transfer.h"

#include <chrono>
#include <fcntl.h>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kUploadsRoot = "/api/uploads";
constexpr std::size_t kUploadIdBytes = 16;
// How long a request waits for another one that is still writing to the same
// upload: a client that lost its connection and comes back at once finds the
// bytes of the broken piece counted once the server noticed the break.
constexpr std::chrono::milliseconds kSettleWait{5000};
// The upload key outlives every upload it may own.
constexpr std::string_view kUploadKeyLifetime = "2592000";

bool IsUploadId(std::string_view id) {
    return IsUploadKey(id);
}

std::int64_t NowUnix() {
    return UnixSecondsFromFileTime(NowFileTime());
}

// The wall-clock time of a tick of the request clock.
std::string ExpiresAt(std::uint64_t expiryTick, std::uint64_t nowTick) {
    const std::uint64_t aheadMs = expiryTick > nowTick ? expiryTick - nowTick : 0;
    return HttpDate(NowFileTime() + aheadMs * 10'000);
}

std::optional<std::u16string> StrictText(const std::string& bytes) {
    std::u16string text;
    if (!Utf8ToUtf16Strict(bytes, text))
        return std::nullopt;
    return text;
}

const std::string* MetadataValue(const std::map<std::string, std::string, std::less<>>& metadata,
                                 std::string_view key) {
    const auto found = metadata.find(key);
    return found == metadata.end() ? nullptr : &found->second;
}

} // namespace

bool WebApp::OpenUploadState(const std::string& folder) {
    return m_uploads.Open(folder, m_ticks(), NowUnix());
}

void WebApp::ServeUploads(Context& context) {
    HttpResponse& response = context.response;
    const HttpRequest& request = context.request;
    const std::string& method = request.method;
    // Without a folder to keep them in, uploads could not be resumed.
    if (!m_uploads.IsOpen())
        return SendError(response, 404, "notFound");
    response.AddHeader("Tus-Resumable", std::string(kTusVersion));
    if (method == "OPTIONS") {
        response.AddHeader("Tus-Version", std::string(kTusVersion));
        response.AddHeader("Tus-Extension", std::string(kTusExtensions));
        // Announced only when every share has a limit: the largest of them.
        std::int64_t largest = 0;
        for (const Share& share : context.config->shares) {
            if (share.maxUploadBytes <= 0) {
                largest = 0;
                break;
            }
            largest = std::max(largest, share.maxUploadBytes);
        }
        if (largest > 0)
            response.AddHeader("Tus-Max-Size", std::to_string(largest));
        Respond(response, 204, {}, std::string_view{});
        return;
    }
    const std::string* version = FindHeader(request.head, "tus-resumable");
    if (version == nullptr || *version != kTusVersion) {
        response.AddHeader("Tus-Version", std::string(kTusVersion));
        response.CloseAfter();
        return SendError(response, 412, "tusVersion");
    }
    // The same cross-site guard as every other request that changes something.
    if (method == "PATCH" || method == "DELETE") {
        const std::string* marker = FindHeader(request.head, kCsrfHeader);
        if (marker == nullptr || *marker != "1") {
            response.CloseAfter();
            return SendError(response, 403, "csrf");
        }
    }
    std::string_view id = std::string_view(request.path).substr(kUploadsRoot.size());
    if (id.starts_with('/'))
        id.remove_prefix(1);
    if (id.empty()) {
        if (method != "POST")
            return SendError(response, 405, "method");
        return CreateUpload(context);
    }
    if (!IsUploadId(id))
        return SendError(response, 404, "notFound");
    if (method == "HEAD")
        return ShowUpload(context, id);
    if (method == "PATCH")
        return ContinueUpload(context, id);
    if (method == "DELETE")
        return TerminateUpload(context, id);
    SendError(response, 405, "method");
}

void WebApp::CreateUpload(Context& context) {
    HttpResponse& response = context.response;
    const RequestHead& head = context.request.head;
    std::uint64_t bodyLength = 0;
    // Creation with data is not offered: the first piece comes by PATCH.
    if (context.body.HasBody() && !(context.body.ContentLength(bodyLength) && bodyLength == 0)) {
        response.CloseAfter();
        return SendError(response, 400, "badRequest");
    }
    const std::string* lengthText = FindHeader(head, "upload-length");
    const std::optional<std::uint64_t> length =
        lengthText != nullptr ? ParseTusSize(*lengthText) : std::nullopt;
    const std::string* metadataText = FindHeader(head, "upload-metadata");
    const auto metadata = metadataText != nullptr
                              ? ParseUploadMetadata(*metadataText)
                              : std::optional<std::map<std::string, std::string, std::less<>>>();
    if (!length || !metadata || CountHeaders(head, "upload-length") != 1)
        return SendError(response, 400, "badRequest");
    const std::string* shareText = MetadataValue(*metadata, "share");
    const std::string* fileText = MetadataValue(*metadata, "filename");
    const std::string* folderText = MetadataValue(*metadata, "path");
    const std::string* overwriteText = MetadataValue(*metadata, "overwrite");
    if (shareText == nullptr || fileText == nullptr)
        return SendError(response, 400, "badRequest");
    const std::optional<std::u16string> shareName = StrictText(*shareText);
    const std::optional<std::u16string> fileName = StrictText(*fileText);
    const std::optional<std::u16string> folderPath =
        StrictText(folderText != nullptr ? *folderText : std::string());
    if (!shareName || !fileName || !folderPath)
        return SendError(response, 400, "badRequest");
    // The file name is one name, never a path of its own, nor the name of
    // another upload's temporary file.
    if (!IsValidItemName(*fileName) || IsUploadTempName(*fileName))
        return SendError(response, 400, "badPath");
    const bool overwrite = overwriteText != nullptr && *overwriteText == "1";
    std::u16string itemPath = *folderPath;
    if (!itemPath.empty() && itemPath.back() != u'/')
        itemPath += u'/';
    itemPath += *fileName;

    const AccessFlags required =
        overwrite ? (AccessFlags::Write | AccessFlags::Delete) : AccessFlags::Write;
    ShareTarget target;
    if (!OpenShare(context, *shareName, itemPath, required, target))
        return;
    if (target.components.empty())
        return SendError(response, 400, "badPath");
    UniqueFd folder;
    if (OpenParentFolder(target.root, target.components, context.config->showHidden, folder) !=
        OpenResult::Ok)
        return SendError(response, 404, "notFound");
    const std::int64_t limit = target.share->maxUploadBytes;
    if (limit > 0 && *length > static_cast<std::uint64_t>(limit))
        return SendError(response, 413, "tooLarge");
    if (!HasRoomFor(folder.Get(), *length))
        return SendError(response, 507, "noSpace");

    std::string key = Cookie(context.request, kUploadKeyCookie);
    if (!IsUploadKey(key)) {
        key = RandomHex(kUploadKeyBytes);
        if (key.empty())
            return SendError(response, 500, "failed");
        std::string cookie = std::string(kUploadKeyCookie) + "=" + key +
                             "; Path=/api/uploads/; HttpOnly; SameSite=Strict; Max-Age=" +
                             std::string(kUploadKeyLifetime);
        if (context.request.secure)
            cookie += "; Secure";
        response.AddHeader("Set-Cookie", std::move(cookie));
    }
    const std::string id = RandomHex(kUploadIdBytes);
    const std::string temp = NewUploadTempName();
    const std::string owner = UploadOwnerHash(key);
    if (id.empty() || temp.empty() || owner.empty())
        return SendError(response, 500, "failed");

    UploadRecord record;
    record.folder = DestinationFolderPath(target.root, target.components);
    record.temp = temp;
    record.shareId = target.share->id;
    record.shareName = target.name;
    record.itemPath = JoinComponents(target.components);
    record.length = *length;
    record.owner = owner;
    if (context.account != nullptr)
        record.user = context.account->name;
    record.overwrite = overwrite;
    record.touchedUnix = NowUnix();
    // The record comes first: whatever happens next, the file it names is
    // either found and continued or removed at the next start.
    if (!m_uploads.Add(id, record, context.now))
        return SendError(response, 500, "failed");
    FdOrErrno created = CreateNewFileAt(folder.Get(), temp);
    if (!created.Ok()) {
        m_uploads.Forget(id);
        return SendError(response, 403, "denied");
    }
    response.AddHeader("Location", std::string(kUploadsRoot) + "/" + id);
    if (*length == 0) {
        TemporaryUpload file(folder.Get(), temp, std::move(created.fd));
        return FinishUpload(context, id, record, target, folder.Get(), file);
    }
    response.AddHeader("Upload-Expires", ExpiresAt(m_uploads.ExpiryTick(id), context.now));
    Respond(response, 201, {}, std::string_view{});
}

bool WebApp::FindOwnUpload(Context& context, std::string_view id, UploadRecord& out) {
    std::optional<UploadRecord> record = m_uploads.Find(id, context.now, kSettleWait);
    if (!record) {
        SendError(context.response, 404, "notFound");
        return false;
    }
    const std::string key = Cookie(context.request, kUploadKeyCookie);
    const std::u16string user = context.account != nullptr ? context.account->name : u"";
    if (!IsUploadKey(key) || UploadOwnerHash(key) != record->owner || user != record->user) {
        SendError(context.response, 403, "forbidden");
        return false;
    }
    out = std::move(*record);
    return true;
}

void WebApp::ShowUpload(Context& context, std::string_view id) {
    UploadRecord record;
    if (!FindOwnUpload(context, id, record))
        return;
    HttpResponse& response = context.response;
    response.AddHeader("Cache-Control", "no-store");
    response.AddHeader("Upload-Offset", std::to_string(record.offset));
    response.AddHeader("Upload-Length", std::to_string(record.length));
    response.AddHeader("Upload-Expires", ExpiresAt(m_uploads.ExpiryTick(id), context.now));
    Respond(response, 200, {}, std::string_view{});
}

void WebApp::ContinueUpload(Context& context, std::string_view id) {
    HttpResponse& response = context.response;
    const RequestHead& head = context.request.head;
    // Every refusal below leaves the body unread, so the connection ends.
    const std::string* type = FindHeader(head, "content-type");
    if (type == nullptr || *type != kTusContentType) {
        response.CloseAfter();
        return SendError(response, 415, "contentType");
    }
    const std::string* offsetText = FindHeader(head, "upload-offset");
    const std::optional<std::uint64_t> offset =
        offsetText != nullptr ? ParseTusSize(*offsetText) : std::nullopt;
    if (!offset) {
        response.CloseAfter();
        return SendError(response, 400, "badRequest");
    }
    UploadRecord record;
    if (!FindOwnUpload(context, id, record)) {
        response.CloseAfter();
        return;
    }
    switch (m_uploads.Acquire(id, context.now, record, kSettleWait)) {
    case UploadStateStore::Claim::Ok:
        break;
    case UploadStateStore::Claim::NotFound:
        response.CloseAfter();
        return SendError(response, 404, "notFound");
    case UploadStateStore::Claim::Busy:
        response.CloseAfter();
        return SendError(response, 423, "busy");
    }
    // Gives the claim back on every way out, with the offset the file holds
    // and whether the disk has it too.
    std::uint64_t keptOffset = record.offset;
    bool flushed = false;
    bool forgotten = false;
    struct ClaimEnd {
        UploadStateStore& store;
        std::string_view id;
        const std::uint64_t& offset;
        const bool& flushed;
        const bool& forgotten;
        std::uint64_t now;
        ~ClaimEnd() {
            if (!forgotten)
                store.Release(id, offset, flushed, now, NowUnix());
        }
    } claimEnd{m_uploads, id, keptOffset, flushed, forgotten, context.now};

    if (*offset != record.offset) {
        response.CloseAfter();
        response.AddHeader("Upload-Offset", std::to_string(record.offset));
        return SendError(response, 409, "offset");
    }
    const AccessFlags required =
        record.overwrite ? (AccessFlags::Write | AccessFlags::Delete) : AccessFlags::Write;
    ShareTarget target;
    if (!OpenShare(context, record.shareName, record.itemPath, required, target)) {
        response.CloseAfter();
        return;
    }
    UniqueFd folder;
    FdOrErrno file;
    if (target.share->id == record.shareId && !target.components.empty() &&
        OpenParentFolder(target.root, target.components, context.config->showHidden, folder) ==
            OpenResult::Ok)
        file = OpenPartialFileAt(folder.Get(), record.temp);
    if (!file.Ok()) {
        response.CloseAfter();
        return SendError(response, 404, "notFound");
    }
    const std::uint64_t remaining = record.length - record.offset;
    std::uint64_t bodyLength = 0;
    if (context.body.ContentLength(bodyLength) && bodyLength > remaining) {
        response.CloseAfter();
        return SendError(response, 413, "tooLarge");
    }
    // Room for the rest of the upload, asked again with every piece.
    if (!HasRoomFor(folder.Get(), remaining)) {
        response.CloseAfter();
        return SendError(response, 507, "noSpace");
    }
    // Bytes past the offset never reached the disk for sure: they go.
    if (SetPartialFileEnd(file.fd.Get(), record.offset) != 0) {
        response.CloseAfter();
        return SendError(response, 500, "failed");
    }
    ::posix_fadvise(file.fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::uint64_t received = 0;
    std::uint64_t written = record.offset;
    UploadError error = TransferBody(context.body, file.fd.Get(), remaining, received, written);
    const bool complete = error == UploadError::None && written == record.length;
    // Marked before anyone can see it; file systems without user attributes
    // simply keep no mark.
    if (complete)
        WriteZoneIdentifier(file.fd.Get());
    // What was written is kept even when the body broke off. The last piece
    // is on the disk before it is answered, as is a piece that broke off;
    // other pieces wait for the disk once per checkpoint interval, so a fast
    // link is not held up by a flush per piece while a power cut costs at
    // most that interval of progress (the record keeps the older offset).
    const bool checkpoint =
        complete || error != UploadError::None || m_uploads.CheckpointDue(id, Now());
    if (!checkpoint) {
        keptOffset = written;
    } else if (const int err = SyncFileData(file.fd.Get()); err != 0) {
        if (error == UploadError::None)
            error = WriteErrorFor(ResultFromErrno(err));
    } else {
        keptOffset = written;
        flushed = true;
    }
    if (error != UploadError::None) {
        response.AddHeader("Upload-Offset", std::to_string(keptOffset));
        const UploadErrorReply reply = ReplyFor(error);
        response.CloseAfter();
        SendError(response, reply.status, reply.code);
        LogAccess(context, "upload", target.DisplayPath(), reply.status, received);
        return;
    }
    if (keptOffset < record.length) {
        response.AddHeader("Upload-Offset", std::to_string(keptOffset));
        response.AddHeader("Upload-Expires",
                           ExpiresAt(context.now + UploadStateStore::kLifetimeMs, context.now));
        Respond(response, 204, {}, std::string_view{});
        return;
    }
    forgotten = true;
    TemporaryUpload temp(folder.Get(), record.temp, std::move(file.fd));
    FinishUpload(context, id, record, target, folder.Get(), temp);
}

void WebApp::FinishUpload(Context& context, std::string_view id, const UploadRecord& record,
                          const ShareTarget& target, int folder, TemporaryUpload& temp) {
    HttpResponse& response = context.response;
    const std::u16string& fileName = target.components.back();
    temp.Close();
    const std::u16string finalName =
        MoveToFinalName(folder, temp.Name(), fileName, record.overwrite);
    if (finalName.empty()) {
        temp.Discard();
        m_uploads.Forget(id);
        return SendError(response, 409, "exists");
    }
    temp.Release();
    m_uploads.Forget(id);
    std::u16string display = target.DisplayPath();
    display.resize(display.size() - fileName.size());
    display += finalName;
    // The new name itself must survive a power cut too.
    if (SyncFolder(folder) != 0) {
        SendError(response, 500, "failed");
        LogAccess(context, "upload", display, 500, record.length);
        return;
    }
    response.AddHeader("Upload-Offset", std::to_string(record.length));
    response.AddHeader("Upload-Name", PercentEncode(Utf16ToUtf8(finalName), true));
    Respond(response, context.request.method == "POST" ? 201 : 204, {}, std::string_view{});
    LogAccess(context, "upload", display, 201, record.length);
}

void WebApp::TerminateUpload(Context& context, std::string_view id) {
    UploadRecord record;
    if (!FindOwnUpload(context, id, record))
        return;
    switch (m_uploads.Acquire(id, context.now, record, kSettleWait)) {
    case UploadStateStore::Claim::Ok:
        break;
    case UploadStateStore::Claim::NotFound:
        return SendError(context.response, 404, "notFound");
    case UploadStateStore::Claim::Busy:
        return SendError(context.response, 423, "busy");
    }
    // The partial file is gone before the reply says so.
    m_uploads.Discard(id);
    Respond(context.response, 204, {}, std::string_view{});
}

} // namespace Velto::Corvane
