// Thumbnails: small JPEG previews of images and videos for the folder view,
// validated by an entity tag and kept in a bounded memory cache.
#include "webapp/web_app.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "server/http/entity_tag.h"
#include "server/http/request_helpers.h"
#include "server/http/client_group.h"
#include "webapp/fs/open_item.h"
#include "webapp/thumbnails/thumbnail_size.h"

namespace Velto::Corvane {

namespace {

constexpr std::string_view kThumbnailCacheControl = "private, max-age=86400";

// The file's entity tag with "-" and the pixel edge before the closing
// quotation mark, so each size validates on its own.
std::string ThumbnailEtag(std::uint64_t size, FileTime lastWrite, std::uint32_t pixels) {
    std::string tag = MakeEtag(size, lastWrite);
    tag.insert(tag.size() - 1, "-" + std::to_string(pixels));
    return tag;
}

bool SameVersion(const ItemStat& a, const ItemStat& b) {
    return a.size == b.size && a.lastWriteTime == b.lastWriteTime && a.mode == b.mode;
}

} // namespace

void WebApp::SendThumbnail(Context& context) {
    std::u16string path;
    std::u16string shareName;
    if (!DecodeRequestText(context.response, QueryParam(context.request, "path"), path) ||
        !DecodeRequestText(context.response, QueryParam(context.request, "share"), shareName))
        return;
    ShareTarget target;
    if (!OpenShare(context, shareName, path, AccessFlags::Read, target))
        return;
    const std::uint32_t pixels = ThumbnailPixels(QueryParam(context.request, "size"));
    HttpResponse& response = context.response;

    const bool showHidden = context.config->showHidden;
    UniqueFd handle;
    ItemStat stat;
    if (target.components.empty() ||
        OpenItem(target.root, target.components, ItemAccess::ReadAttributes, showHidden, handle,
                 stat) != OpenResult::Ok ||
        stat.IsDirectory())
        return SendError(response, 404, "notFound");
    handle.Reset();

    const std::string tag = ThumbnailEtag(stat.size, stat.lastWriteTime, pixels);
    response.AddHeader("Cache-Control", std::string(kThumbnailCacheControl));
    response.AddHeader("ETag", tag);
    if (const std::string* ifNoneMatch = FindHeader(context.request.head, "if-none-match");
        ifNoneMatch != nullptr && EtagListMatches(*ifNoneMatch, tag)) {
        if (response.Begin(304, 0))
            response.Finish();
        return;
    }

    const std::optional<std::string> jpeg = m_thumbnails.Get(
        JoinPath(target.root, target.components), tag, pixels, [&]() -> std::optional<std::string> {
            // The helper reads through a descriptor opened here, inside the
            // share; it must still be the version the tag names, or the
            // thumbnail would be kept under the wrong key.
            UniqueFd file;
            ItemStat opened;
            if (OpenItem(target.root, target.components, ItemAccess::Read, showHidden, file,
                         opened) != OpenResult::Ok ||
                opened.IsDirectory() || !SameVersion(stat, opened))
                return std::nullopt;
            return m_thumbnailMaker.MakeThumbnail(file.Get(), Utf16ToUtf8(target.components.back()),
                                                  pixels, ClientGroupOf(context.request.peer),
                                                  context.now);
        });
    if (!jpeg)
        return SendError(response, 404, "noThumbnail");
    Respond(response, 200, "image/jpeg", *jpeg);
}

} // namespace Velto::Corvane
