// LOCK and UNLOCK, and the If header and lock checks every change passes.
#include "webapp/dav/dav_service.h"

#include "base/unique_fd.h"
#include "base/utf.h"
#include "server/http/entity_tag.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "webapp/dav/apple_junk_name.h"
#include "webapp/dav/dav_request_body.h"
#include "webapp/dav/multistatus_writer.h"
#include "webapp/dav/xml_document.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/open_folder.h"
#include "webapp/fs/open_item.h"

#include <algorithm>

namespace Velto::Corvane {

namespace {

bool SameEtag(std::string_view a, std::string_view b) {
    if (a.starts_with("W/"))
        a.remove_prefix(2);
    if (b.starts_with("W/"))
        b.remove_prefix(2);
    return !a.empty() && a == b;
}

bool Contains(const std::vector<std::string>& tokens, std::string_view token) {
    return std::find(tokens.begin(), tokens.end(), token) != tokens.end();
}

} // namespace

DavService::Resource DavService::ResourceOf(const ShareTarget& target, bool showHidden) {
    Resource resource;
    resource.key = KeyOf(target);
    UniqueFd handle;
    ItemStat stat;
    if (!target.components.empty() &&
        OpenItem(target.root, target.components, ItemAccess::ReadAttributes, showHidden, handle,
                 stat) == OpenResult::Ok &&
        !stat.IsDirectory())
        resource.etag = MakeEtag(stat.size, stat.lastWriteTime);
    return resource;
}

DavService::Resource DavService::ResourceAt(Call& call, std::string_view encodedPath) {
    Resource resource;
    const std::optional<std::string> path =
        DestinationPath(encodedPath, FindHeader(call.context.request.head, "host") != nullptr
                                         ? *FindHeader(call.context.request.head, "host")
                                         : std::string());
    if (!path)
        return resource;
    const std::optional<std::string> decoded = PercentDecode(*path, false);
    if (!decoded || !std::string_view(*decoded).starts_with(std::string(kPrefix) + "/"))
        return resource;
    std::string_view rest = std::string_view(*decoded).substr(kPrefix.size() + 1);
    const std::size_t slash = rest.find('/');
    const Share* share = call.context.config->FindShareByName(Utf8ToUtf16(rest.substr(0, slash)));
    if (share == nullptr)
        return resource;
    ShareTarget target;
    const std::u16string item =
        slash == std::string_view::npos ? std::u16string() : Utf8ToUtf16(rest.substr(slash + 1));
    if (m_app.CheckShare(call.context, share->name, item, AccessFlags::Read, target))
        return resource;
    return ResourceOf(target, call.context.config->showHidden);
}

DavService::IfState DavService::EvaluateIf(Call& call, const Resource& requestResource) {
    IfState state;
    const std::string* header = FindHeader(call.context.request.head, "if");
    if (header == nullptr)
        return state;
    state.present = true;
    state.holds = false;
    const std::optional<std::vector<IfList>> lists = ParseIfHeader(*header);
    if (!lists)
        return state;
    for (const IfList& list : *lists) {
        for (const IfCondition& condition : list.conditions) {
            if (!condition.negated && !condition.isEtag && !Contains(state.tokens, condition.value))
                state.tokens.push_back(condition.value);
        }
    }
    for (const IfList& list : *lists) {
        const Resource resource =
            list.resource.empty() ? requestResource : ResourceAt(call, list.resource);
        const std::vector<DavLock> locks = resource.key.empty()
                                               ? std::vector<DavLock>{}
                                               : m_locks.Covering(resource.key, call.context.now);
        bool all = true;
        for (const IfCondition& condition : list.conditions) {
            bool matches = false;
            if (condition.isEtag) {
                matches = SameEtag(condition.value, resource.etag);
            } else {
                matches = std::any_of(locks.begin(), locks.end(), [&](const DavLock& lock) {
                    return lock.token == condition.value;
                });
            }
            if (matches == condition.negated) {
                all = false;
                break;
            }
        }
        if (all) {
            state.holds = true;
            break;
        }
    }
    return state;
}

bool DavService::MayChange(Call& call, const IfState& conditions, const std::string& key,
                           bool subtree) {
    const std::vector<DavLock> locks = subtree ? m_locks.Affecting(key, call.context.now)
                                               : m_locks.Covering(key, call.context.now);
    const bool blocked = std::any_of(locks.begin(), locks.end(), [&](const DavLock& lock) {
        return !Contains(conditions.tokens, lock.token);
    });
    // Conditions that fail answer 412, unless what failed was a lock token
    // offered for a locked item: then the lock is the reason.
    const bool offeredToken =
        std::any_of(conditions.tokens.begin(), conditions.tokens.end(),
                    [](const std::string& token) { return !token.starts_with("DAV:"); });
    if (conditions.present && !conditions.holds && !(blocked && offeredToken)) {
        ReplyStatus(call, 412);
        return false;
    }
    if (blocked) {
        ReplyXml(call, 423,
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error "
                 "xmlns:D=\"DAV:\"><D:lock-token-submitted/></D:error>\n");
        return false;
    }
    return true;
}

bool DavService::MayChangeMembers(Call& call, const IfState& conditions,
                                  const ShareTarget& target) {
    if (target.components.empty())
        return true;
    PathComponents parent = target.components;
    parent.pop_back();
    const std::string parentKey = KeyOf(*target.share, parent);
    const std::vector<DavLock> locks = m_locks.Covering(parentKey, call.context.now);
    for (const DavLock& lock : locks) {
        if (!Contains(conditions.tokens, lock.token)) {
            ReplyXml(call, 423,
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error "
                     "xmlns:D=\"DAV:\"><D:lock-token-submitted/></D:error>\n");
            return false;
        }
    }
    return true;
}

std::string DavService::ActiveLockXml(const DavLock& lock) const {
    std::string xml = "<D:activelock><D:locktype><D:write/></D:locktype><D:lockscope>";
    xml += lock.exclusive ? "<D:exclusive/>" : "<D:shared/>";
    xml += "</D:lockscope><D:depth>";
    xml += lock.infinite ? "infinity" : "0";
    xml += "</D:depth>";
    if (!lock.ownerXml.empty()) {
        xml += "<D:owner>";
        xml += lock.ownerXml;
        xml += "</D:owner>";
    }
    xml += "<D:timeout>Second-" + std::to_string(lock.timeoutSeconds) + "</D:timeout>";
    xml += "<D:locktoken><D:href>";
    AppendXmlEscaped(xml, lock.token);
    xml += "</D:href></D:locktoken><D:lockroot><D:href>";
    AppendXmlEscaped(xml, lock.href);
    xml += "</D:href></D:lockroot></D:activelock>";
    return xml;
}

std::string DavService::LockDiscoveryXml(const std::string& key, std::uint64_t now) {
    std::string xml;
    for (const DavLock& lock : m_locks.Covering(key, now))
        xml += ActiveLockXml(lock);
    return xml;
}

void DavService::Lock(Call& call) {
    ShareTarget target;
    if (!Gate(call, AccessFlags::Write, target))
        return;
    WebApp::Context& context = call.context;
    const RequestHead& head = context.request.head;
    const std::uint64_t timeout =
        ParseTimeout(FindHeader(head, "timeout"), kDefaultLockSeconds, kMaxLockSeconds);
    std::string body;
    if (!ReadXmlBody(call, body))
        return;
    const std::string key = KeyOf(target);
    const bool showHidden = context.config->showHidden;

    if (body.find_first_not_of(" \t\r\n") == std::string::npos) {
        // A refresh: the lock is named in the If header.
        const IfState conditions = EvaluateIf(call, ResourceOf(target, showHidden));
        for (const std::string& token : conditions.tokens) {
            if (const std::optional<DavLock> lock =
                    m_locks.Refresh(token, key, timeout, context.now)) {
                ReplyXml(call, 200,
                         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:prop "
                         "xmlns:D=\"DAV:\"><D:lockdiscovery>" +
                             ActiveLockXml(*lock) + "</D:lockdiscovery></D:prop>\n");
                return;
            }
        }
        return ReplyStatus(call, conditions.present ? 412 : 400);
    }

    const std::optional<LockRequest> request = ParseLockInfo(body);
    const std::optional<DavDepth> depth = ParseDepth(FindHeader(head, "depth"), DavDepth::Infinity);
    if (!request || !depth || *depth == DavDepth::One)
        return ReplyStatus(call, 400);
    if (target.components.empty() && !target.root.fileName.empty())
        return ReplyStatus(call, 403);

    // A lock on a name that is not there yet makes an empty file of it, so
    // the client can fill it under the lock.
    bool created = false;
    UniqueFd handle;
    ItemStat stat;
    bool isFolder = target.components.empty();
    if (!target.components.empty()) {
        const OpenResult opened = OpenItem(target.root, target.components,
                                           ItemAccess::ReadAttributes, showHidden, handle, stat);
        if (opened == OpenResult::Ok) {
            isFolder = stat.IsDirectory();
        } else if (IsAppleJunkName(target.components.back())) {
            // Never written; the lock is still granted so the client goes on.
        } else {
            if (!showHidden && IsHiddenName(target.components.back()))
                return ReplyStatus(call, 403);
            const IfState conditions = EvaluateIf(call, ResourceOf(target, showHidden));
            if (!MayChange(call, conditions, key, false) ||
                !MayChangeMembers(call, conditions, target))
                return;
            UniqueFd folder;
            if (OpenParentFolder(target.root, target.components, showHidden, folder) !=
                OpenResult::Ok)
                return ReplyStatus(call, 409);
            FdOrErrno file = CreateNewFileAt(folder.Get(), Utf16ToUtf8(target.components.back()));
            if (!file.Ok())
                return ReplyStatus(call, file.error == EEXIST ? 409 : 403);
            created = true;
            m_app.LogAccess(context, "upload", target.DisplayPath(), 201, 0);
        }
    }

    DavLock lock;
    lock.key = key;
    lock.href = HrefOf(target.share->name, target.components, isFolder);
    lock.infinite = *depth == DavDepth::Infinity;
    lock.exclusive = request->exclusive;
    lock.ownerXml = request->ownerXml;
    lock.timeoutSeconds = timeout;
    const std::optional<DavLock> granted = m_locks.Create(std::move(lock), context.now);
    if (!granted) {
        return ReplyXml(call, 423,
                        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error "
                        "xmlns:D=\"DAV:\"><D:no-conflicting-lock/></D:error>\n");
    }
    context.response.AddHeader("Lock-Token", "<" + granted->token + ">");
    ReplyXml(call, created ? 201 : 200,
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:prop "
             "xmlns:D=\"DAV:\"><D:lockdiscovery>" +
                 ActiveLockXml(*granted) + "</D:lockdiscovery></D:prop>\n");
}

void DavService::Unlock(Call& call) {
    ShareTarget target;
    if (!Gate(call, AccessFlags::Write, target))
        return;
    const std::string* header = FindHeader(call.context.request.head, "lock-token");
    const std::optional<std::string> token =
        header == nullptr ? std::nullopt : ParseLockToken(*header);
    if (!token)
        return ReplyStatus(call, 400);
    if (!m_locks.Remove(*token, KeyOf(target), call.context.now))
        return ReplyXml(call, 409,
                        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error "
                        "xmlns:D=\"DAV:\"><D:lock-token-matches-request-uri/></D:error>\n");
    ReplyStatus(call, 204);
}

} // namespace Velto::Corvane
