// The read routes: the share list, folder listings and file downloads.
#include "webapp/web_app.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "config/config_file.h"
#include "server/http/byte_range.h"
#include "server/http/content_disposition.h"
#include "server/http/entity_tag.h"
#include "server/http/http_date.h"
#include "server/http/mime_types.h"
#include "server/http/request_helpers.h"
#include "webapp/download_policy.h"
#include "webapp/fs/dir_entry.h"
#include "webapp/fs/file_attributes.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_item.h"
#include "webapp/listing_filter.h"
#include "webapp/listing_item_json.h"

#include <vector>

namespace Velto::Corvane {

namespace {

// Room reserved for a listing reply up front: its head, and a typical item.
constexpr std::size_t kListingReplyGuess = 256;
constexpr std::size_t kListingItemGuess = 112;

constexpr std::uint32_t kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

std::vector<WebApp::VisibleShare> WebApp::VisibleShares(const Context& context) const {
    std::vector<VisibleShare> shares;
    for (const Share& share : context.config->shares) {
        const AccessFlags rights =
            share.EffectiveAccess(context.account, IsUnlocked(context, share));
        // Locked: the share password is all that stands between this visitor and the share.
        const bool locked = rights == AccessFlags::None && !share.password.empty() &&
                            NormalizeAccess(share.guest) != AccessFlags::None;
        if (rights == AccessFlags::None && !locked)
            continue;
        shares.push_back({&share, rights, locked});
    }
    return shares;
}

void WebApp::ListShares(Context& context) {
    JsonValue shares = JsonValue::MakeArray();
    for (const VisibleShare& visible : VisibleShares(context)) {
        const Share& share = *visible.share;
        JsonValue item = JsonValue::MakeObject();
        item.Set("name", JsonValue(Utf16ToUtf8(share.name)));
        item.Set("permissions", AccessToNames(visible.rights));
        item.Set("locked", JsonValue(visible.locked));
        if (share.file)
            item.Set("file", JsonValue(true));
        shares.Append(std::move(item));
    }
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("shares", std::move(shares));
    SendJson(context.response, 200, reply);
}

void WebApp::ListFolder(Context& context) {
    std::u16string path;
    std::u16string shareName;
    if (!DecodeRequestText(context.response, QueryParam(context.request, "path"), path) ||
        !DecodeRequestText(context.response, QueryParam(context.request, "share"), shareName))
        return;
    ShareTarget target;
    if (!OpenShare(context, shareName, path, AccessFlags::Read, target))
        return;
    const bool showHidden = context.config->showHidden;

    std::vector<DirEntry> entries;
    UniqueFd handle;
    ItemStat stat;
    if (!target.root.fileName.empty()) {
        if (!target.components.empty())
            return SendError(context.response, 404, "notFound");
        const std::u16string only[] = {target.root.fileName};
        const OpenResult opened =
            OpenItem(target.root, only, ItemAccess::ReadAttributes, showHidden, handle, stat);
        if (opened == OpenResult::Denied)
            return SendError(context.response, 403, "denied");
        if (opened != OpenResult::Ok)
            return SendError(context.response, 404, "notFound");
        // The one file of a single-file share is shown even when it is hidden.
        DirEntry entry;
        entry.name = target.root.fileName;
        entry.attributes = stat.attributes & ~kHiddenOrSystem;
        entry.size = stat.size;
        entry.lastWriteTime = stat.lastWriteTime;
        entries.push_back(std::move(entry));
    } else {
        const OpenResult opened = OpenItem(target.root, target.components,
                                           ItemAccess::ListDirectory, showHidden, handle, stat);
        if (opened == OpenResult::Denied)
            return SendError(context.response, 403, "denied");
        if (opened != OpenResult::Ok || !stat.IsDirectory())
            return SendError(context.response, 404, "notFound");
        if (!EnumerateDirectory(handle.Get(), entries))
            return SendError(context.response, 500, "failed");
    }

    // The reply is written item by item, so a folder of many thousands of
    // entries never exists as a tree. The bytes are those of serializing the
    // whole reply.
    std::string reply;
    reply.reserve(kListingReplyGuess + entries.size() * kListingItemGuess);
    reply += "{\"share\":";
    AppendJsonString(reply, Utf16ToUtf8(target.name));
    reply += ",\"path\":";
    AppendJsonString(reply, Utf16ToUtf8(JoinComponents(target.components)));
    reply += ",\"permissions\":";
    reply += SerializeJson(AccessToNames(target.rights), false);
    reply += ",\"items\":[";
    bool firstItem = true;
    PathComponents linkPath = target.components;
    for (const DirEntry& entry : entries) {
        if (!IsListedEntry(target.root, linkPath, entry, showHidden))
            continue;
        if (!firstItem)
            reply += ',';
        firstItem = false;
        AppendListingItem(reply, entry);
    }
    reply += "]}";
    Respond(context.response, 200, kJsonType, reply);
}

void WebApp::SendFile(Context& context, std::u16string_view shareName,
                      std::u16string_view itemPath) {
    ShareTarget target;
    if (!OpenShare(context, shareName, itemPath, AccessFlags::Read, target))
        return;
    HttpResponse& response = context.response;
    if (target.components.empty())
        return SendError(response, 404, "isFolder");

    UniqueFd file;
    ItemStat stat;
    const OpenResult opened = OpenItem(target.root, target.components, ItemAccess::Read,
                                       context.config->showHidden, file, stat);
    if (opened == OpenResult::Denied)
        return SendError(response, 403, "denied");
    if (opened == OpenResult::Busy)
        return SendError(response, 409, "busy");
    if (opened != OpenResult::Ok)
        return SendError(response, 404, "notFound");
    if (stat.IsDirectory())
        return SendError(response, 404, "isFolder");
    SendOpenedFile(context, target, file.Get(), stat, QueryParam(context.request, "view") == "1");
}

void WebApp::SendOpenedFile(Context& context, const ShareTarget& target, int fd,
                            const ItemStat& stat, bool viewAsked) {
    HttpResponse& response = context.response;
    const std::u16string& name =
        target.components.empty() ? target.root.fileName : target.components.back();
    const MimeInfo mime = MimeForName(name);
    const bool view = viewAsked && mime.inlineSafe;
    const std::string etag = MakeEtag(stat.size, stat.lastWriteTime);

    response.AddHeader("Content-Type", std::string(mime.type));
    response.AddHeader("Content-Disposition",
                       ContentDisposition(view ? "inline" : "attachment", name));
    response.AddHeader("Content-Security-Policy", std::string(kDownloadPolicy));
    response.AddHeader("ETag", etag);
    response.AddHeader("Last-Modified", HttpDate(stat.lastWriteTime));
    response.AddHeader("Accept-Ranges", "bytes");
    response.AddHeader("Cache-Control", "private, no-cache");

    const RequestHead& head = context.request.head;
    if (const std::string* ifNoneMatch = FindHeader(head, "if-none-match");
        ifNoneMatch != nullptr && EtagListMatches(*ifNoneMatch, etag)) {
        if (response.Begin(304, 0))
            response.Finish();
        return;
    }

    const std::uint64_t size = stat.size;
    std::uint64_t first = 0;
    std::uint64_t last = size == 0 ? 0 : size - 1;
    std::int32_t status = 200;
    const std::string* range = FindHeader(head, "range");
    const std::string* ifRange = FindHeader(head, "if-range");
    // An If-Range that is not this exact entity tag (a date included) means
    // the client's copy may be stale: it gets the whole file.
    if (range != nullptr && (ifRange == nullptr || *ifRange == etag)) {
        const ByteRange parsed = ParseByteRange(*range, size);
        if (parsed.result == RangeResult::Unsatisfiable) {
            response.AddHeader("Content-Range", "bytes */" + std::to_string(size));
            if (response.Begin(416, 0))
                response.Finish();
            return;
        }
        if (parsed.result == RangeResult::Satisfiable) {
            first = parsed.first;
            last = parsed.last;
            status = 206;
            response.AddHeader("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                    std::to_string(last) + "/" +
                                                    std::to_string(size));
        }
    }

    const std::uint64_t length = size == 0 ? 0 : last - first + 1;
    if (!response.Begin(status, length))
        return;
    const bool isHead = context.request.method == "HEAD";
    // A file that shrinks while it is sent ends the transfer unfinished, and
    // the server drops the connection rather than pad the body.
    if (!isHead && length != 0 && !response.WriteFileRange(fd, first, length))
        return;
    if (!response.Finish())
        return;
    if (!isHead && first == 0)
        LogAccess(context, "download", target.DisplayPath(), status, response.BytesWritten());
}

} // namespace Velto::Corvane
