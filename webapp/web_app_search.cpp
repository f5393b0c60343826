// Search by name: the items below a folder of a share whose names hold every
// word of a query, found by reading the folders as listings do.
#include "webapp/web_app.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "config/config_file.h"
#include "server/http/request_helpers.h"
#include "webapp/fs/file_attributes.h"
#include "webapp/fs/open_item.h"
#include "webapp/listing_item_json.h"
#include "webapp/search/name_query.h"
#include "webapp/search/share_search.h"

#include <chrono>

namespace Velto::Corvane {

namespace {

// Room reserved for a reply up front: its head, and a typical result.
constexpr std::size_t kSearchReplyGuess = 256;
constexpr std::size_t kSearchItemGuess = 160;

constexpr std::uint32_t kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

void AppendReplyHead(std::string& reply, const ShareTarget& target, std::string_view query) {
    reply += "{\"share\":";
    AppendJsonString(reply, Utf16ToUtf8(target.name));
    reply += ",\"path\":";
    AppendJsonString(reply, Utf16ToUtf8(JoinComponents(target.components)));
    reply += ",\"query\":";
    AppendJsonString(reply, query);
    reply += ",\"permissions\":";
    reply += SerializeJson(AccessToNames(target.rights), false);
    reply += ",\"items\":[";
}

void AppendReplyTail(std::string& reply, bool truncated) {
    reply += truncated ? "],\"truncated\":true}" : "],\"truncated\":false}";
}

} // namespace

void WebApp::Search(Context& context) {
    const std::u16string path = Utf8ToUtf16(QueryParam(context.request, "path"));
    const std::u16string shareName = Utf8ToUtf16(QueryParam(context.request, "share"));
    ShareTarget target;
    if (!OpenShare(context, shareName, path, AccessFlags::Read, target))
        return;
    const std::string queryText = QueryParam(context.request, "q");
    std::u16string queryUnits;
    if (!Utf8ToUtf16Strict(queryText, queryUnits))
        return SendError(context.response, 400, "badRequest");
    const std::optional<NameQuery> query = NameQuery::Parse(queryUnits);
    if (!query)
        return SendError(context.response, 400, "badRequest");

    const SearchSlots::Held slot = m_searchSlots.TryTake(context.request.peer);
    if (!slot)
        return SendError(context.response, 429, "searchBusy");

    const bool showHidden = context.config->showHidden;
    std::string reply;
    reply.reserve(kSearchReplyGuess);
    AppendReplyHead(reply, target, queryText);

    if (!target.root.fileName.empty()) {
        // A single-file share holds one item, at its root.
        if (!target.components.empty())
            return SendError(context.response, 404, "notFound");
        const std::u16string only[] = {target.root.fileName};
        UniqueFd handle;
        ItemStat stat;
        const OpenResult opened =
            OpenItem(target.root, only, ItemAccess::ReadAttributes, showHidden, handle, stat);
        if (opened == OpenResult::Denied)
            return SendError(context.response, 403, "denied");
        if (opened != OpenResult::Ok)
            return SendError(context.response, 404, "notFound");
        if (query->Matches(target.root.fileName)) {
            DirEntry entry;
            entry.name = target.root.fileName;
            entry.attributes = stat.attributes & ~kHiddenOrSystem;
            entry.size = stat.size;
            entry.lastWriteTime = stat.lastWriteTime;
            const std::string root;
            AppendListingItem(reply, entry, &root);
        }
        AppendReplyTail(reply, false);
        Respond(context.response, 200, kJsonType, reply);
        return;
    }

    bool firstItem = true;
    const SearchLimits limits{kMaxSearchResults, kMaxSearchPendingFolders,
                              std::chrono::milliseconds(kSearchBudgetMs)};
    const SearchOutcome outcome =
        SearchShare(target.root, target.components, *query, showHidden, limits,
                    [&](const PathComponents& folder, const DirEntry& entry) {
                        if (firstItem)
                            reply.reserve(kSearchReplyGuess + kSearchItemGuess * 64);
                        else
                            reply += ',';
                        firstItem = false;
                        const std::string folderPath = Utf16ToUtf8(JoinComponents(folder));
                        AppendListingItem(reply, entry, &folderPath);
                    });
    if (outcome.start == OpenResult::Denied)
        return SendError(context.response, 403, "denied");
    if (outcome.start == OpenResult::Failed)
        return SendError(context.response, 500, "failed");
    if (outcome.start != OpenResult::Ok)
        return SendError(context.response, 404, "notFound");
    AppendReplyTail(reply, outcome.truncated);
    Respond(context.response, 200, kJsonType, reply);
}

} // namespace Velto::Corvane
