// PROPFIND, PROPPATCH and GET: reading items and their properties.
#include "webapp/dav/dav_service.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "server/http/entity_tag.h"
#include "server/http/http_date.h"
#include "server/http/mime_types.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "webapp/dav/apple_junk_name.h"
#include "webapp/dav/date_text.h"
#include "webapp/dav/dav_request_body.h"
#include "webapp/dav/dead_properties.h"
#include "webapp/dav/multistatus_writer.h"
#include "webapp/dav/xml_document.h"
#include "webapp/fs/dir_entry.h"
#include "webapp/fs/file_attributes.h"
#include "webapp/fs/free_space.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/modified_time.h"
#include "webapp/fs/open_item.h"
#include "webapp/listing_filter.h"

#include <cerrno>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kMicrosoftNamespace = "urn:schemas-microsoft-com:";
constexpr std::string_view kXmlType = "application/xml; charset=utf-8";
constexpr std::string_view kSupportedLock =
    "<D:lockentry><D:lockscope><D:exclusive/></D:lockscope><D:locktype><D:write/></D:locktype>"
    "</D:lockentry><D:lockentry><D:lockscope><D:shared/></D:lockscope><D:locktype><D:write/>"
    "</D:locktype></D:lockentry>";

// What the live properties of one resource are made of.
struct Facts {
    std::u16string name;
    bool isFolder{false};
    std::uint64_t size{0};
    FileTime modified{0}; // 0: unknown (the list of shares)
    std::optional<std::uint64_t> freeBytes;
    std::string key; // lock table key; empty where nothing can be locked
};

DavPropertyName Dav(std::string_view local) {
    return {std::string(kDavNamespace), std::string(local)};
}

// The live properties an allprop request gets, in order.
constexpr std::string_view kAllLive[] = {"resourcetype", "getlastmodified",  "creationdate",
                                         "displayname",  "getcontentlength", "getcontenttype",
                                         "getetag",      "supportedlock",    "lockdiscovery"};

std::string Escaped(std::string_view text) {
    std::string out;
    AppendXmlEscaped(out, text);
    return out;
}

} // namespace

namespace {

// The value of a live property, none when the resource has no such property.
class LiveProperties {
public:
    LiveProperties(const Facts& facts, std::string lockDiscovery)
        : m_facts(facts), m_lockDiscovery(std::move(lockDiscovery)) {}

    std::optional<std::string> Value(const DavPropertyName& name) const {
        if (name.ns != kDavNamespace)
            return std::nullopt;
        const std::string_view local = name.local;
        const bool file = !m_facts.isFolder;
        const bool timed = m_facts.modified != 0;
        if (local == "resourcetype")
            return std::string(m_facts.isFolder ? "<D:collection/>" : "");
        if (local == "getlastmodified" && timed)
            return HttpDate(m_facts.modified);
        if (local == "creationdate" && timed)
            return Iso8601Date(m_facts.modified);
        if (local == "displayname")
            return Escaped(Utf16ToUtf8(m_facts.name));
        if (local == "getcontentlength" && file)
            return std::to_string(m_facts.size);
        if (local == "getcontenttype" && file)
            return Escaped(MimeForName(m_facts.name).type);
        if (local == "getetag" && file && timed)
            return Escaped(MakeEtag(m_facts.size, m_facts.modified));
        if (local == "supportedlock" && !m_facts.key.empty())
            return std::string(kSupportedLock);
        if (local == "lockdiscovery" && !m_facts.key.empty())
            return m_lockDiscovery;
        if (local == "quota-available-bytes" && m_facts.freeBytes)
            return std::to_string(*m_facts.freeBytes);
        return std::nullopt;
    }

private:
    const Facts& m_facts;
    std::string m_lockDiscovery;
};

void AppendResource(MultistatusWriter& writer, std::string_view href, const Facts& facts,
                    const std::string& lockDiscovery, const std::vector<DeadProperty>& dead,
                    const PropfindRequest& request) {
    const LiveProperties live(facts, lockDiscovery);
    writer.BeginResponse(href);
    if (request.kind != PropfindRequest::Kind::Prop) {
        const bool namesOnly = request.kind == PropfindRequest::Kind::PropName;
        writer.BeginPropstat();
        for (const std::string_view local : kAllLive) {
            const DavPropertyName name = Dav(local);
            if (const std::optional<std::string> value = live.Value(name))
                writer.AddProperty(name, namesOnly ? std::string_view{} : *value);
        }
        for (const DeadProperty& property : dead)
            writer.AddProperty(property.name, namesOnly ? std::string_view{} : property.valueXml);
        writer.EndPropstat(200);
        writer.EndResponse();
        return;
    }
    std::vector<std::pair<const DavPropertyName*, std::string>> found;
    std::vector<const DavPropertyName*> missing;
    for (const DavPropertyName& name : request.names) {
        if (std::optional<std::string> value = live.Value(name)) {
            found.emplace_back(&name, std::move(*value));
            continue;
        }
        const auto property = std::find_if(dead.begin(), dead.end(),
                                           [&](const DeadProperty& p) { return p.name == name; });
        if (property != dead.end())
            found.emplace_back(&name, property->valueXml);
        else
            missing.push_back(&name);
    }
    if (!found.empty()) {
        writer.BeginPropstat();
        for (const auto& [name, value] : found)
            writer.AddProperty(*name, value);
        writer.EndPropstat(200);
    }
    if (!missing.empty()) {
        writer.BeginPropstat();
        for (const DavPropertyName* name : missing)
            writer.AddProperty(*name, {});
        writer.EndPropstat(404);
    }
    writer.EndResponse();
}

// Dead properties are read only when the request can show them: every
// allprop or propname, and a prop request naming something not live.
bool WantsDeadProperties(const PropfindRequest& request) {
    if (request.kind != PropfindRequest::Kind::Prop)
        return true;
    for (const DavPropertyName& name : request.names) {
        if (name.ns != kDavNamespace)
            return true;
    }
    return false;
}

std::string ChildKey(const std::string& parent, std::u16string_view name) {
    std::string key = parent;
    if (!key.ends_with('/'))
        key += '/';
    key += Utf16ToUtf8(name);
    return key;
}

} // namespace

void DavService::PropFind(Call& call) {
    const std::optional<DavDepth> depth =
        ParseDepth(FindHeader(call.context.request.head, "depth"), DavDepth::Infinity);
    if (!depth)
        return ReplyStatus(call, 400);
    if (*depth == DavDepth::Infinity) {
        return ReplyXml(call, 403,
                        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error "
                        "xmlns:D=\"DAV:\"><D:propfind-finite-depth/></D:error>\n");
    }
    std::string body;
    if (!ReadXmlBody(call, body))
        return;
    const std::optional<PropfindRequest> request = ParsePropfind(body);
    if (!request)
        return ReplyStatus(call, 400);
    if (call.shareName.empty())
        return PropFindShares(call, *request, *depth);

    ShareTarget target;
    if (!Gate(call, AccessFlags::Read, target))
        return;
    const bool showHidden = call.context.config->showHidden;
    const std::uint64_t now = call.context.now;
    const bool wantsDead = WantsDeadProperties(*request);
    const std::string key = KeyOf(target);
    MultistatusWriter writer;

    if (target.components.empty() && !target.root.fileName.empty()) {
        // A single-file share reads as a folder that holds its one file.
        Facts facts;
        facts.name = target.share->name;
        facts.isFolder = true;
        AppendResource(writer, HrefOf(target.share->name, {}, true), facts, {}, {}, *request);
        if (*depth == DavDepth::One) {
            const std::u16string only[] = {target.root.fileName};
            UniqueFd file;
            ItemStat stat;
            if (OpenItem(target.root, only, ItemAccess::Read, showHidden, file, stat) ==
                OpenResult::Ok) {
                Facts child;
                child.name = target.root.fileName;
                child.size = stat.size;
                child.modified = stat.lastWriteTime;
                AppendResource(
                    writer, HrefOf(target.share->name, {target.root.fileName}, false), child, {},
                    wantsDead ? ReadDeadProperties(file.Get()) : std::vector<DeadProperty>{},
                    *request);
            }
        }
        return ReplyXml(call, 207, writer.Finish());
    }

    if (!target.components.empty() && IsAppleJunkName(target.components.back()))
        return ReplyStatus(call, 404);
    UniqueFd handle;
    ItemStat stat;
    const OpenResult opened =
        OpenItem(target.root, target.components, ItemAccess::Read, showHidden, handle, stat);
    if (opened == OpenResult::Denied)
        return ReplyStatus(call, 403);
    // A missing item is a plain 404, never a 207 that names it: file
    // managers keep asking again after the latter.
    if (opened != OpenResult::Ok)
        return ReplyStatus(call, 404);

    Facts facts;
    facts.name = target.components.empty() ? target.share->name : target.components.back();
    facts.isFolder = stat.IsDirectory();
    facts.size = stat.size;
    facts.modified = stat.lastWriteTime;
    facts.key = key;
    if (facts.isFolder)
        facts.freeBytes = FreeBytesAvailable(handle.Get());
    const std::string href = HrefOf(target.share->name, target.components, facts.isFolder);
    AppendResource(writer, href, facts, LockDiscoveryXml(key, now),
                   wantsDead ? ReadDeadProperties(handle.Get()) : std::vector<DeadProperty>{},
                   *request);

    if (facts.isFolder && *depth == DavDepth::One) {
        std::vector<DirEntry> entries;
        if (!EnumerateDirectory(handle.Get(), entries))
            return ReplyStatus(call, 500);
        writer.Reserve(entries.size());
        PathComponents folder = target.components;
        const bool anyLocks = !m_locks.Affecting(key, now).empty();
        std::string childHref;
        for (const DirEntry& entry : entries) {
            if (!IsListedEntry(target.root, folder, entry, showHidden))
                continue;
            Facts child;
            child.name = entry.name;
            child.isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            child.size = child.isFolder ? 0 : entry.size;
            child.modified = entry.lastWriteTime;
            child.key = ChildKey(key, entry.name);
            const std::string nameBytes = Utf16ToUtf8(entry.name);
            childHref = href;
            childHref += PercentEncode(nameBytes, true);
            if (child.isFolder)
                childHref += '/';
            AppendResource(writer, childHref, child,
                           anyLocks ? LockDiscoveryXml(child.key, now) : std::string(),
                           wantsDead ? ReadDeadPropertiesAt(handle.Get(), nameBytes)
                                     : std::vector<DeadProperty>{},
                           *request);
        }
    }
    ReplyXml(call, 207, writer.Finish());
}

void DavService::PropFindShares(Call& call, const PropfindRequest& request, DavDepth depth) {
    MultistatusWriter writer;
    Facts root;
    root.name = u"dav";
    root.isFolder = true;
    AppendResource(writer, HrefOf({}, {}, true), root, {}, {}, request);
    if (depth == DavDepth::One) {
        for (const WebApp::VisibleShare& visible : m_app.VisibleShares(call.context)) {
            Facts facts;
            facts.name = visible.share->name;
            facts.isFolder = true;
            if (!visible.locked && !visible.share->file) {
                if (const std::optional<ShareRoot> shareRoot =
                        ResolveShareRoot(visible.share->path, false)) {
                    UniqueFd handle;
                    ItemStat stat;
                    if (OpenItem(*shareRoot, {}, ItemAccess::ReadAttributes, true, handle, stat) ==
                        OpenResult::Ok)
                        facts.modified = stat.lastWriteTime;
                }
            }
            AppendResource(writer, HrefOf(visible.share->name, {}, true), facts, {}, {}, request);
        }
    }
    ReplyXml(call, 207, writer.Finish());
}

void DavService::PropPatch(Call& call) {
    ShareTarget target;
    if (!Gate(call, AccessFlags::Write, target))
        return;
    std::string body;
    if (!ReadXmlBody(call, body))
        return;
    const std::optional<std::vector<PropertyChange>> changes = ParseProppatch(body);
    if (!changes)
        return ReplyStatus(call, 400);
    const bool showHidden = call.context.config->showHidden;
    const bool junk = !target.components.empty() && IsAppleJunkName(target.components.back());
    const std::string href = HrefOf(target.share->name, target.components, false);

    UniqueFd handle;
    ItemStat stat;
    if (!junk) {
        if (target.components.empty() && !target.root.fileName.empty())
            return ReplyStatus(call, 403);
        const OpenResult opened =
            OpenItem(target.root, target.components, ItemAccess::Read, showHidden, handle, stat);
        if (opened == OpenResult::Denied)
            return ReplyStatus(call, 403);
        if (opened != OpenResult::Ok)
            return ReplyStatus(call, 404);
        const IfState conditions = EvaluateIf(call, ResourceOf(target, showHidden));
        if (!MayChange(call, conditions, KeyOf(target), false))
            return;
    }

    // Checked as a whole first: a request with one change that cannot be
    // made changes nothing, and the others report a failed dependency.
    std::vector<std::int32_t> statuses(changes->size(), 200);
    std::vector<std::optional<FileTime>> times(changes->size());
    bool anyFailed = false;
    for (std::size_t i = 0; i < changes->size(); ++i) {
        const PropertyChange& change = (*changes)[i];
        const bool isModified =
            (change.name.ns == kDavNamespace && change.name.local == "getlastmodified") ||
            (change.name.ns == kMicrosoftNamespace && change.name.local == "Win32LastModifiedTime");
        if (isModified && !change.remove) {
            times[i] = ParseHttpDate(change.text);
            if (!times[i])
                statuses[i] = 409;
        } else if (change.name.ns == kDavNamespace) {
            // The other DAV: properties are computed from the item.
            statuses[i] = 403;
        }
        anyFailed = anyFailed || statuses[i] != 200;
    }
    if (anyFailed) {
        for (std::int32_t& status : statuses) {
            if (status == 200)
                status = 424;
        }
    } else if (!junk) {
        for (std::size_t i = 0; i < changes->size(); ++i) {
            const PropertyChange& change = (*changes)[i];
            int err = 0;
            if (times[i])
                err = SetModifiedTime(handle.Get(), *times[i]);
            else if (change.remove)
                err = RemoveDeadProperty(handle.Get(), change.name);
            else
                err = WriteDeadProperty(handle.Get(), change.name, change.valueXml);
            if (err == ENOSPC || err == E2BIG || err == EDQUOT)
                statuses[i] = 507;
            else if (err != 0)
                statuses[i] = 403;
        }
    }

    MultistatusWriter writer;
    writer.BeginResponse(href);
    for (const std::int32_t status : {200, 403, 409, 424, 507}) {
        bool begun = false;
        for (std::size_t i = 0; i < changes->size(); ++i) {
            if (statuses[i] != status)
                continue;
            if (!begun)
                writer.BeginPropstat();
            begun = true;
            writer.AddProperty((*changes)[i].name, {});
        }
        if (begun)
            writer.EndPropstat(status);
    }
    writer.EndResponse();
    ReplyXml(call, 207, writer.Finish());
}

void DavService::Get(Call& call) {
    if (call.shareName.empty()) {
        call.context.response.AddHeader("Allow", "OPTIONS, PROPFIND");
        return ReplyStatus(call, 405);
    }
    ShareTarget target;
    if (!Gate(call, AccessFlags::Read, target))
        return;
    if (target.components.empty() || IsAppleJunkName(target.components.back()))
        return ReplyStatus(call, target.components.empty() ? 405 : 404);
    UniqueFd file;
    ItemStat stat;
    const OpenResult opened = OpenItem(target.root, target.components, ItemAccess::Read,
                                       call.context.config->showHidden, file, stat);
    if (opened == OpenResult::Denied)
        return ReplyStatus(call, 403);
    if (opened == OpenResult::Busy)
        return ReplyStatus(call, 409);
    if (opened != OpenResult::Ok)
        return ReplyStatus(call, 404);
    if (stat.IsDirectory())
        return ReplyStatus(call, 405);
    m_app.SendOpenedFile(call.context, target, file.Get(), stat, false);
}

} // namespace Velto::Corvane
