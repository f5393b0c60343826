// The routes that change a share's contents: new folders, renames, and
// deletion to the trash. Every change happens relative to a folder
// descriptor from the confined walk, one validated name at a time.
#include "webapp/web_app.h"

#include "base/utf.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_folder.h"
#include "webapp/fs/open_item.h"
#include "webapp/fs/parent_folders.h"
#include "webapp/fs/rename_at.h"
#include "webapp/recycle_items.h"

#include <cerrno>
#include <vector>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kMaxDeleteItems = 10'000;

std::u16string StringMember(const JsonValue& body, std::string_view key) {
    return Utf8ToUtf16(body.Get(key).AsString());
}

std::u16string DisplayPathOf(std::u16string_view shareDisplay, const PathComponents& components) {
    std::u16string path(shareDisplay);
    for (const std::u16string& component : components) {
        path += u'/';
        path += component;
    }
    return path;
}

} // namespace

void WebApp::MakeFolder(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    const bool parents = body.Get("parents").GetBool(false);
    ShareTarget target;
    if (!OpenShare(context, StringMember(body, "share"), StringMember(body, "path"),
                   AccessFlags::Write, target))
        return;
    HttpResponse& response = context.response;
    const PathComponents& components = target.components;
    if (components.empty())
        return SendError(response, 400, "badPath");
    const bool showHidden = context.config->showHidden;

    // A folder on the way that could be made but never entered (hidden, or
    // named like an unfinished upload) fails before anything is created.
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        if (IsUploadTempName(components[i]) || (!showHidden && IsHiddenName(components[i])))
            return SendError(response, 404, "notFound");
    }

    const std::span<const std::u16string> all(components);
    for (std::size_t i = 0; i < all.size(); ++i) {
        UniqueFd parent;
        ItemStat parentStat;
        if (OpenFolder(target.root, all.first(i), showHidden, parent, parentStat) != OpenResult::Ok)
            return SendError(response, 404, "notFound");
        const int err = MakeFolderAt(parent.Get(), Utf16ToUtf8(all[i]));
        if (err == 0)
            continue;
        if (err == EEXIST) {
            UniqueFd existing;
            ItemStat existingStat;
            const OpenResult opened =
                OpenItem(target.root, all.first(i + 1), ItemAccess::ReadAttributes, showHidden,
                         existing, existingStat);
            const bool isLast = i + 1 == all.size();
            // A name on the way that cannot be entered inside the share (a
            // link leading outside or nowhere) is a missing parent; a file
            // there, or the last name taken, is a name that exists.
            if (opened != OpenResult::Ok && !isLast)
                return SendError(response, 404, "notFound");
            if (opened != OpenResult::Ok || !existingStat.IsDirectory() || (isLast && !parents))
                return SendError(response, 409, "exists");
            continue;
        }
        if (err == EACCES || err == EPERM)
            return SendError(response, 403, "denied");
        return SendError(response, 500, "failed");
    }
    SendJson(response, 201, JsonValue::MakeObject());
    LogAccess(context, "newFolder", target.DisplayPath(), 201, 0);
}

void WebApp::Rename(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    ShareTarget target;
    if (!OpenShare(context, StringMember(body, "share"), StringMember(body, "path"),
                   AccessFlags::Write, target))
        return;
    HttpResponse& response = context.response;
    // A drop box's visitors add items; they never change existing ones.
    if (target.uploadOnly)
        return SendError(response, 403, "forbidden");
    const std::u16string newName = StringMember(body, "newName");
    if (target.components.empty() || !IsValidItemName(newName) || IsUploadTempName(newName))
        return SendError(response, 400, "badName");
    const bool showHidden = context.config->showHidden;

    UniqueFd item;
    ItemStat itemStat;
    if (OpenItem(target.root, target.components, ItemAccess::ReadAttributes, showHidden, item,
                 itemStat) != OpenResult::Ok)
        return SendError(response, 404, "notFound");
    UniqueFd folder;
    if (OpenParentFolder(target.root, target.components, showHidden, folder) != OpenResult::Ok)
        return SendError(response, 404, "notFound");

    const std::u16string& oldName = target.components.back();
    // The same name is already the result asked for. Any other name is
    // taken only when free (a change of letter case included: here that is
    // another name), so no rename ever destroys an item.
    if (newName != oldName) {
        const int err =
            RenameNoReplace(folder.Get(), Utf16ToUtf8(oldName), folder.Get(), Utf16ToUtf8(newName));
        if (err == EBUSY || err == ETXTBSY)
            return SendError(response, 409, "busy");
        if (err == EEXIST || err == ENOTEMPTY)
            return SendError(response, 409, "exists");
        if (err != 0)
            return SendError(response, 403, "denied");
    }
    SendJson(response, 200, JsonValue::MakeObject());
    LogAccess(context, "rename", target.DisplayPath() + u" -> " + newName, 200, 0);
}

void WebApp::DeleteItems(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    ShareTarget target;
    if (!OpenShare(context, StringMember(body, "share"), u"", AccessFlags::Delete, target))
        return;
    HttpResponse& response = context.response;
    const JsonArray& paths = body.Get("paths").AsArray();
    if (paths.empty() || paths.size() > kMaxDeleteItems)
        return SendError(response, 400, "badRequest");
    const bool showHidden = context.config->showHidden;
    const std::u16string shareDisplay = target.DisplayPath();

    // Every item is checked before the first one moves.
    std::vector<DeleteItem> items;
    items.reserve(paths.size());
    ParentFolders parents(target.root, showHidden);
    for (const JsonValue& element : paths) {
        std::optional<PathComponents> components = ParseSharePath(Utf8ToUtf16(element.AsString()));
        if (!components || components->empty())
            return SendError(response, 400, "badPath");
        UniqueFd handle;
        ItemStat stat;
        int folderFd = -1;
        std::uint64_t mountId = 0;
        if (OpenItem(target.root, *components, ItemAccess::ReadAttributes, showHidden, handle,
                     stat) != OpenResult::Ok ||
            parents.Open(*components, folderFd, mountId) != OpenResult::Ok)
            return SendError(response, 404, "notFound");
        DeleteItem item;
        item.fullPath = JoinPath(target.root, *components);
        item.displayPath = DisplayPathOf(shareDisplay, *components);
        item.mountId = mountId;
        item.components = std::move(*components);
        items.push_back(std::move(item));
    }

    const RecycleResult result = RecycleItems(target.root, showHidden, items);
    if (result == RecycleResult::Recycled) {
        JsonValue reply = JsonValue::MakeObject();
        reply.Set("deleted", JsonValue(static_cast<double>(items.size())));
        SendJson(response, 200, reply);
    } else {
        SendError(response, 409, result == RecycleResult::NoRecycleBin ? "noRecycleBin" : "failed");
    }
    const std::int32_t status = result == RecycleResult::Recycled ? 200 : 409;
    for (const DeleteItem& item : items)
        LogAccess(context, "delete", item.displayPath, status, 0);
}

} // namespace Velto::Corvane
