// PUT, DELETE, MKCOL, COPY and MOVE: the methods that change a share,
// through the upload, trash and file-system code of the web API.
#include "webapp/dav/dav_service.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "webapp/dav/apple_junk_name.h"
#include "webapp/dav/tree_copy.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/open_folder.h"
#include "webapp/fs/open_item.h"
#include "webapp/fs/parent_folders.h"
#include "webapp/fs/rename_at.h"
#include "webapp/recycle_items.h"

#include <array>
#include <cerrno>
#include <charconv>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kDiscardPieceBytes = 65'536;
constexpr std::uint64_t kMaxDiscardBytes = 268'435'456;

// Reads a body nobody keeps; false when it fails or runs past the limit.
bool DiscardBody(HttpBody& body) {
    std::array<std::byte, kDiscardPieceBytes> sink;
    std::uint64_t total = 0;
    for (;;) {
        std::size_t count = 0;
        if (!body.Read(sink, count))
            return false;
        if (count == 0)
            return true;
        total += count;
        if (total > kMaxDiscardBytes)
            return false;
    }
}

std::optional<std::uint64_t> HeaderNumber(const RequestHead& head, std::string_view name) {
    const std::string* value = FindHeader(head, name);
    if (value == nullptr)
        return std::nullopt;
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
    if (error != std::errc() || end != value->data() + value->size())
        return std::nullopt;
    return number;
}

// FILETIME of 1970-01-01 00:00 UTC, and FILETIME units per second.
constexpr std::uint64_t kUnixEpochFileTime = 116'444'736'000'000'000ULL;
constexpr std::uint64_t kFileTimePerSecond = 10'000'000;
constexpr std::uint64_t kMaxUnixSeconds = 253'402'300'799; // 9999-12-31 23:59:59

// Moves one item to the trash, as the web API deletes.
RecycleResult RecycleOne(const ShareTarget& target, const PathComponents& components,
                         bool showHidden) {
    ParentFolders parents(target.root, showHidden);
    int folderFd = -1;
    std::uint64_t mountId = 0;
    if (parents.Open(components, folderFd, mountId) != OpenResult::Ok)
        return RecycleResult::RecycleFailed;
    DeleteItem item;
    item.components = components;
    item.fullPath = JoinPath(target.root, components);
    item.mountId = mountId;
    return RecycleItems(target.root, showHidden, {item});
}

std::int32_t StatusForRecycle(RecycleResult result) {
    return result == RecycleResult::Recycled ? 204 : 409;
}

bool Exists(const ShareTarget& target, bool showHidden, ItemStat& stat) {
    UniqueFd handle;
    return OpenItem(target.root, target.components, ItemAccess::ReadAttributes, showHidden, handle,
                    stat) == OpenResult::Ok;
}

bool IsWithinComponents(const PathComponents& inner, const PathComponents& outer) {
    if (inner.size() < outer.size())
        return false;
    for (std::size_t i = 0; i < outer.size(); ++i) {
        if (inner[i] != outer[i])
            return false;
    }
    return true;
}

} // namespace

void DavService::Put(Call& call) {
    if (call.shareName.empty())
        return ReplyStatus(call, 405);
    ShareTarget target;
    if (!Gate(call, AccessFlags::Write, target))
        return;
    WebApp::Context& context = call.context;
    HttpResponse& response = context.response;
    const RequestHead& head = context.request.head;
    if (target.components.empty())
        return ReplyStatus(call, 405);
    // A partial PUT would be taken for the whole file.
    if (FindHeader(head, "content-range") != nullptr)
        return ReplyStatus(call, 400);
    const std::u16string& name = target.components.back();
    const bool showHidden = context.config->showHidden;
    if (IsAppleJunkName(name)) {
        if (!DiscardBody(context.body)) {
            response.CloseAfter();
            return ReplyStatus(call, 400);
        }
        return ReplyStatus(call, 201);
    }
    if (!showHidden && IsHiddenName(name))
        return ReplyStatus(call, 403);

    ItemStat stat;
    const bool replacing = Exists(target, showHidden, stat);
    if (replacing && stat.IsDirectory())
        return ReplyStatus(call, 405);
    // Replacing a file takes the right to delete it, as in the web API.
    if (replacing && !HasAccess(target.rights, AccessFlags::Delete))
        return ReplyRefusal(
            call, context.account == nullptr && !context.config->accounts.empty() ? 401 : 403);
    const IfState conditions = EvaluateIf(call, ResourceOf(target, showHidden));
    if (!MayChange(call, conditions, KeyOf(target), false))
        return;
    if (!replacing && !MayChangeMembers(call, conditions, target))
        return;

    WebApp::UploadOptions options;
    options.naming = replacing ? WebApp::UploadNaming::Replace : WebApp::UploadNaming::Exact;
    // macOS sends chunked bodies and says their length here.
    options.announcedLength = HeaderNumber(head, "x-expected-entity-length");
    // rclone and ownCloud clients send the file's time (Unix seconds).
    const std::optional<std::uint64_t> mtime = HeaderNumber(head, "x-oc-mtime");
    if (mtime && *mtime <= kMaxUnixSeconds)
        options.modified = kUnixEpochFileTime + *mtime * kFileTimePerSecond;
    const WebApp::UploadOutcome outcome = m_app.StoreUpload(context, target, options);
    if (outcome.closeConnection)
        response.CloseAfter();
    if (outcome.status == 201) {
        if (options.modified)
            response.AddHeader("X-OC-Mtime", "accepted");
        return ReplyStatus(call, replacing ? 204 : 201);
    }
    if (outcome.status == 404)
        return ReplyStatus(call, 409);
    if (outcome.status == 409)
        return ReplyStatus(call, 412);
    ReplyStatus(call, outcome.status);
}

void DavService::Delete(Call& call) {
    if (call.shareName.empty())
        return ReplyStatus(call, 403);
    ShareTarget target;
    if (!Gate(call, AccessFlags::Delete, target))
        return;
    if (target.components.empty())
        return ReplyStatus(call, 403);
    if (IsAppleJunkName(target.components.back()))
        return ReplyStatus(call, 204);
    const std::optional<DavDepth> depth =
        ParseDepth(FindHeader(call.context.request.head, "depth"), DavDepth::Infinity);
    if (!depth || *depth != DavDepth::Infinity)
        return ReplyStatus(call, 400);
    const bool showHidden = call.context.config->showHidden;
    UniqueFd handle;
    ItemStat stat;
    const OpenResult opened = OpenItem(target.root, target.components, ItemAccess::ReadAttributes,
                                       showHidden, handle, stat);
    if (opened == OpenResult::Denied)
        return ReplyStatus(call, 403);
    if (opened != OpenResult::Ok)
        return ReplyStatus(call, 404);
    const std::string key = KeyOf(target);
    const IfState conditions = EvaluateIf(call, ResourceOf(target, showHidden));
    if (!MayChange(call, conditions, key, true) || !MayChangeMembers(call, conditions, target))
        return;
    handle.Reset();
    const RecycleResult result = RecycleOne(target, target.components, showHidden);
    const std::int32_t status = StatusForRecycle(result);
    if (result == RecycleResult::Recycled)
        m_locks.RemoveWithin(key);
    m_app.LogAccess(call.context, "delete", target.DisplayPath(), status == 204 ? 200 : status, 0);
    ReplyStatus(call, status);
}

void DavService::MakeCollection(Call& call) {
    if (call.shareName.empty())
        return ReplyStatus(call, 405);
    ShareTarget target;
    if (!Gate(call, AccessFlags::Write, target))
        return;
    WebApp::Context& context = call.context;
    if (target.components.empty())
        return ReplyStatus(call, 405);
    std::uint64_t length = 0;
    if (context.body.HasBody() && (!context.body.ContentLength(length) || length != 0))
        return ReplyStatus(call, 415);
    const bool showHidden = context.config->showHidden;
    const std::u16string& name = target.components.back();
    if (!showHidden && IsHiddenName(name))
        return ReplyStatus(call, 403);
    ItemStat stat;
    if (Exists(target, showHidden, stat))
        return ReplyStatus(call, 405);
    UniqueFd folder;
    if (OpenParentFolder(target.root, target.components, showHidden, folder) != OpenResult::Ok)
        return ReplyStatus(call, 409);
    const IfState conditions = EvaluateIf(call, ResourceOf(target, showHidden));
    if (!MayChange(call, conditions, KeyOf(target), false) ||
        !MayChangeMembers(call, conditions, target))
        return;
    const int err = MakeFolderAt(folder.Get(), Utf16ToUtf8(name));
    if (err == EEXIST)
        return ReplyStatus(call, 405);
    if (err == EACCES || err == EPERM)
        return ReplyStatus(call, 403);
    if (err == ENOSPC || err == EDQUOT)
        return ReplyStatus(call, 507);
    if (err != 0)
        return ReplyStatus(call, 500);
    m_app.LogAccess(context, "newFolder", target.DisplayPath(), 201, 0);
    ReplyStatus(call, 201);
}

void DavService::CopyOrMove(Call& call, bool move) {
    if (call.shareName.empty())
        return ReplyStatus(call, 403);
    WebApp::Context& context = call.context;
    const RequestHead& head = context.request.head;
    ShareTarget source;
    if (!Gate(call, move ? AccessFlags::Write : AccessFlags::Read, source))
        return;
    if (source.components.empty())
        return ReplyStatus(call, 403);
    const bool showHidden = context.config->showHidden;
    if (IsAppleJunkName(source.components.back()))
        return ReplyStatus(call, 404);

    const std::string* destinationHeader = FindHeader(head, "destination");
    const std::string* host = FindHeader(head, "host");
    if (destinationHeader == nullptr)
        return ReplyStatus(call, 400);
    const std::optional<std::string> encoded =
        DestinationPath(*destinationHeader, host != nullptr ? *host : std::string());
    // Another server, or a place outside the shares, is never a destination.
    if (!encoded)
        return ReplyStatus(call, 502);
    const std::optional<std::string> decoded = PercentDecode(*encoded, false);
    if (!decoded)
        return ReplyStatus(call, 400);
    const std::string prefix = std::string(kPrefix) + "/";
    if (!decoded->starts_with(prefix))
        return ReplyStatus(call, 403);
    std::vector<std::string_view> segments;
    std::string_view rest = std::string_view(*decoded).substr(prefix.size());
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        if (const std::string_view segment = rest.substr(0, slash); !segment.empty())
            segments.push_back(segment);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    if (segments.size() < 2)
        return ReplyStatus(call, 403);
    std::string destinationItem;
    for (std::size_t i = 1; i < segments.size(); ++i) {
        if (i > 1)
            destinationItem += '/';
        destinationItem += segments[i];
    }
    if (!IsValidUtf8(destinationItem) || !IsValidUtf8(segments.front()))
        return ReplyStatus(call, 400);

    const std::optional<bool> overwrite = ParseOverwrite(FindHeader(head, "overwrite"));
    const std::optional<DavDepth> depth = ParseDepth(FindHeader(head, "depth"), DavDepth::Infinity);
    if (!overwrite || !depth || *depth == DavDepth::One || (move && *depth != DavDepth::Infinity))
        return ReplyStatus(call, 400);

    ShareTarget destination;
    if (const std::optional<WebApp::GateRefusal> refusal =
            m_app.CheckShare(context, Utf8ToUtf16(segments.front()), Utf8ToUtf16(destinationItem),
                             AccessFlags::Write, destination)) {
        const std::int32_t status =
            StatusFor(*refusal, context.config->FindShareByName(Utf8ToUtf16(segments.front())),
                      AccessFlags::Write);
        return ReplyRefusal(call, status == 404 ? 409 : status);
    }
    if (destination.components.empty() || !destination.root.fileName.empty())
        return ReplyStatus(call, 403);
    const std::u16string& toName = destination.components.back();
    if (!showHidden && IsHiddenName(toName))
        return ReplyStatus(call, 403);
    const bool sameShare = destination.share->id == source.share->id;
    if (sameShare && IsWithinComponents(destination.components, source.components))
        return ReplyStatus(call, 403);

    ItemStat sourceStat;
    if (!Exists(source, showHidden, sourceStat))
        return ReplyStatus(call, 404);
    UniqueFd toFolder;
    if (OpenParentFolder(destination.root, destination.components, showHidden, toFolder) !=
        OpenResult::Ok)
        return ReplyStatus(call, 409);
    ItemStat destinationStat;
    const bool replacing = Exists(destination, showHidden, destinationStat);
    if (replacing && !*overwrite)
        return ReplyStatus(call, 412);
    // Nothing is ever replaced without the right to delete it.
    if (replacing && !HasAccess(destination.rights, AccessFlags::Delete))
        return ReplyStatus(call, 403);

    const std::string sourceKey = KeyOf(source);
    const std::string destinationKey = KeyOf(destination);
    const IfState conditions = EvaluateIf(call, ResourceOf(source, showHidden));
    if (move && (!MayChange(call, conditions, sourceKey, true) ||
                 !MayChangeMembers(call, conditions, source)))
        return;
    if (!MayChange(call, conditions, destinationKey, true) ||
        !MayChangeMembers(call, conditions, destination))
        return;

    if (replacing) {
        const RecycleResult recycled = RecycleOne(destination, destination.components, showHidden);
        if (recycled != RecycleResult::Recycled)
            return ReplyStatus(call, StatusForRecycle(recycled));
        m_locks.RemoveWithin(destinationKey);
    }

    const std::u16string logDetail = source.DisplayPath() + u" -> " + destination.DisplayPath();
    const std::int32_t success = replacing ? 204 : 201;
    if (move) {
        UniqueFd fromFolder;
        if (OpenParentFolder(source.root, source.components, showHidden, fromFolder) !=
            OpenResult::Ok)
            return ReplyStatus(call, 404);
        const int err = RenameNoReplace(fromFolder.Get(), Utf16ToUtf8(source.components.back()),
                                        toFolder.Get(), Utf16ToUtf8(toName));
        std::int32_t status = success;
        if (err == EEXIST || err == ENOTEMPTY)
            status = 412;
        else if (err == EXDEV)
            status = 502; // another file system: the item stays where it is
        else if (err == EBUSY || err == ETXTBSY)
            status = 409;
        else if (err == EACCES || err == EPERM)
            status = 403;
        else if (err != 0)
            status = 500;
        if (status == success)
            m_locks.RemoveWithin(sourceKey);
        m_app.LogAccess(context, "rename", logDetail, status == success ? 200 : status, 0);
        return ReplyStatus(call, status);
    }

    PathComponents from = source.components;
    const TreeCopyResult result = CopyTree(source.root, from, toFolder.Get(), Utf16ToUtf8(toName),
                                           *depth == DavDepth::Infinity, showHidden, kMaxCopyDepth);
    std::int32_t status = success;
    switch (result) {
    case TreeCopyResult::Copied:
        break;
    case TreeCopyResult::Exists:
        status = 412;
        break;
    case TreeCopyResult::NoSpace:
        status = 507;
        break;
    case TreeCopyResult::Denied:
        status = 403;
        break;
    case TreeCopyResult::Failed:
        status = 500;
        break;
    }
    m_app.LogAccess(context, "copy", logDetail, status, 0);
    ReplyStatus(call, status);
}

} // namespace Velto::Corvane
