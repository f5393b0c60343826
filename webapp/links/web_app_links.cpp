// Share links: the gate for ":<id>" share names, visits of /s/<token>, link
// passwords, and the API that makes, lists and revokes links.
#include "webapp/web_app.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"
#include "config/password_hash.h"
#include "server/http/request_helpers.h"
#include "webapp/links/invalid_link_page.h"
#include "webapp/links/link_rights.h"
#include "webapp/links/link_root.h"

#include <algorithm>

namespace Velto::Corvane {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::string_view kInvalidLinkPolicy =
    "default-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

struct LifetimeName {
    std::string_view name;
    LinkLifetime lifetime;
};
constexpr LifetimeName kLifetimes[] = {
    {"hour", LinkLifetime::Hour},   {"day", LinkLifetime::Day},     {"week", LinkLifetime::Week},
    {"month", LinkLifetime::Month}, {"never", LinkLifetime::Never},
};

std::optional<LinkLifetime> LifetimeNamed(std::string_view name) {
    for (const LifetimeName& row : kLifetimes) {
        if (row.name == name)
            return row.lifetime;
    }
    return std::nullopt;
}

std::string_view ModeName(LinkMode mode) {
    return mode == LinkMode::Upload ? "upload" : "view";
}

std::size_t CodePoints(std::u16string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char16_t unit) { return unit < 0xDC00 || unit > 0xDFFF; }));
}

// The target's own name: the last name of its path, or the share's name.
std::u16string TargetName(const Share& share, const PathComponents& target) {
    return target.empty() ? share.name : target.back();
}

// How the access log names a link: its label (never its token) and where it
// leads.
std::u16string LinkLogName(const Share& share, const ShareLink& link) {
    std::u16string where = u"/" + share.name;
    if (!link.path.empty())
        where += u"/" + link.path;
    return link.label.empty() ? where : link.label + u" (" + where + u")";
}

// The root a link leads to now, with its target path inside the share.
std::optional<ShareRoot> ResolveTarget(const Share& share, const ShareLink& link, bool showHidden,
                                       PathComponents& target) {
    std::optional<PathComponents> parsed = ParseSharePath(link.path);
    if (!parsed)
        return std::nullopt;
    const std::optional<ShareRoot> shareRoot = ResolveShareRoot(share.path, share.file);
    if (!shareRoot)
        return std::nullopt;
    std::optional<ShareRoot> root = ResolveLinkRoot(*shareRoot, *parsed, showHidden);
    // A drop box is a folder: a file cannot take uploads.
    if (!root || (link.mode == LinkMode::Upload && !root->fileName.empty()))
        return std::nullopt;
    target = std::move(*parsed);
    return root;
}

} // namespace

std::int64_t WebApp::WallSeconds(std::uint64_t now) const {
    const std::uint64_t elapsed = now > m_tickStart ? now - m_tickStart : 0;
    return m_wallStart + static_cast<std::int64_t>(elapsed / kMsPerSecond);
}

void WebApp::SetConfigEditor(ConfigEditor editor) {
    const std::lock_guard lock(m_editorMutex);
    m_editor = std::move(editor);
}

bool WebApp::EditConfig(const ConfigEdit& edit) {
    ConfigEditor editor;
    {
        const std::lock_guard lock(m_editorMutex);
        editor = m_editor;
    }
    if (editor)
        return editor(edit);
    const std::lock_guard lock(m_editorMutex);
    Config changed = *CurrentConfig();
    if (!edit(changed))
        return false;
    SetConfig(changed);
    return true;
}

void WebApp::WriteLinkUses(bool force) {
    const std::map<std::string, std::uint64_t> uses = m_linkUses.Take(m_ticks(), force);
    if (uses.empty())
        return;
    bool found = false;
    const bool written = EditConfig([&](Config& config) {
        for (ShareLink& link : config.links) {
            const auto counted = uses.find(link.id);
            if (counted == uses.end())
                continue;
            link.uses += counted->second;
            found = true;
        }
        return found;
    });
    // Uses of links revoked meanwhile have nowhere to go; the others wait for
    // the next write.
    if (!written && found)
        m_linkUses.PutBack(uses);
}

const ShareLink* WebApp::OpenedLink(const Context& context, std::string_view linkId) const {
    if (!context.session)
        return nullptr;
    const std::vector<std::string>& opened = context.session->openedLinks;
    if (std::find(opened.begin(), opened.end(), linkId) == opened.end())
        return nullptr;
    return context.config->FindLinkById(linkId);
}

std::optional<WebApp::GateRefusal> WebApp::CheckLink(const Context& context,
                                                     std::u16string_view linkName,
                                                     std::u16string_view itemPath,
                                                     AccessFlags required, ShareTarget& out) const {
    const ShareLink* link = OpenedLink(context, Utf16ToUtf8(linkName));
    if (link == nullptr)
        return GateRefusal{404, "notFound"};
    // The creator's rights are those of this moment, so an account that lost
    // them (or is gone) takes its links with it.
    const LinkGrant grant = GrantOf(*context.config, *link, WallSeconds(context.now));
    if (grant.share == nullptr)
        return GateRefusal{404, "notFound"};
    if (!link->password.empty() && !context.session->unlockedLinks.contains(link->id))
        return GateRefusal{401, "locked"};
    if (!HasAccess(grant.rights, required))
        return GateRefusal{403, "forbidden"};
    std::optional<PathComponents> components = ParseSharePath(itemPath);
    if (!components)
        return GateRefusal{400, "badPath"};
    PathComponents target;
    std::optional<ShareRoot> root =
        ResolveTarget(*grant.share, *link, context.config->showHidden, target);
    if (!root)
        return GateRefusal{404, "notFound"};
    out.share = grant.share;
    out.root = std::move(*root);
    out.components = std::move(*components);
    out.rights = grant.rights;
    out.name = u":" + Utf8ToUtf16(link->id);
    out.title = TargetName(*grant.share, target);
    out.linkPath = std::move(target);
    out.linkId = link->id;
    out.uploadOnly = link->mode == LinkMode::Upload;
    return std::nullopt;
}

void WebApp::VisitLink(Context& context, std::string_view token) {
    std::shared_ptr<const LinkIndex> index;
    {
        const std::lock_guard lock(m_snapshotMutex);
        index = m_linkIndex;
    }
    const std::string id = index->Find(token);
    const ShareLink* link = id.empty() ? nullptr : context.config->FindLinkById(id);
    const LinkGrant grant =
        link != nullptr ? GrantOf(*context.config, *link, WallSeconds(context.now)) : LinkGrant{};
    PathComponents target;
    HttpResponse& response = context.response;
    response.AddHeader("Referrer-Policy", "no-referrer");
    if (grant.share == nullptr ||
        !ResolveTarget(*grant.share, *link, context.config->showHidden, target)) {
        const std::string* language = FindHeader(context.request.head, "accept-language");
        response.AddHeader("Content-Security-Policy", std::string(kInvalidLinkPolicy));
        response.AddHeader("Cache-Control", "no-store");
        Respond(response, 404, "text/html; charset=utf-8",
                InvalidLinkPage(language != nullptr ? *language : std::string_view{}));
        return;
    }

    std::string session;
    if (context.session) {
        session = context.session->id;
    } else {
        session = m_sessions.Create(u"", context.now);
        if (session.empty())
            return SendError(response, 500, "failed");
        SetSessionCookie(context, session, false);
    }
    m_sessions.AddOpenedLink(session, link->id);
    m_linkUses.Count(link->id);
    LogAccess(context, "openLink", LinkLogName(*grant.share, *link), 200, 0);
    SendAsset(context, "index.html");
}

void WebApp::UnlockLink(Context& context, std::string_view linkId, std::string_view password,
                        AttemptLimiter::Attempt& attempt) {
    const ShareLink* link = OpenedLink(context, linkId);
    const LinkGrant grant =
        link != nullptr ? GrantOf(*context.config, *link, WallSeconds(context.now)) : LinkGrant{};
    if (grant.share == nullptr || link->password.empty())
        return SendError(context.response, 404, "notFound");

    bool verified = false;
    {
        const PasswordCheckSlots::Slot slot = m_passwordChecks.Take();
        verified = VerifyPassword(link->password, password);
    }
    if (verified) {
        attempt.Succeeded();
        m_sessions.AddLinkUnlock(context.session->id, link->id);
        // An unlock with a password that was replaced while it was verified
        // must not outlive the revocation of that change.
        const ShareLink* current = CurrentConfig()->FindLinkById(link->id);
        if (current == nullptr || current->password != link->password) {
            m_sessions.ForgetLinkUnlock(link->id);
            LogAccess(context, "unlockFailed", LinkLogName(*grant.share, *link), 401, 0);
            return SendError(context.response, 401, "badPassword");
        }
        return SendJson(context.response, 200, JsonValue::MakeObject());
    }
    const std::uint64_t lock = attempt.Failed(context.now);
    LogAccess(context, "unlockFailed", LinkLogName(*grant.share, *link), 401, 0);
    if (lock != 0)
        return ReplyLocked(context, lock);
    SendError(context.response, 401, "badPassword");
}

JsonValue WebApp::SessionLink(const Context& context) const {
    if (!context.session)
        return {};
    const std::vector<std::string>& opened = context.session->openedLinks;
    // The most recent link that still works.
    for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
        const ShareLink* link = context.config->FindLinkById(*it);
        if (link == nullptr)
            continue;
        const LinkGrant grant = GrantOf(*context.config, *link, WallSeconds(context.now));
        PathComponents target;
        std::optional<ShareRoot> root;
        if (grant.share != nullptr)
            root = ResolveTarget(*grant.share, *link, context.config->showHidden, target);
        if (!root)
            continue;
        JsonValue item = JsonValue::MakeObject();
        item.Set("id", JsonValue(link->id));
        item.Set("share", JsonValue(":" + link->id));
        item.Set("name",
                 JsonValue(Utf16ToUtf8(link->label.empty() ? TargetName(*grant.share, target)
                                                           : link->label)));
        item.Set("mode", JsonValue(std::string(ModeName(link->mode))));
        item.Set("file", JsonValue(!root->fileName.empty()));
        item.Set("locked", JsonValue(!link->password.empty() &&
                                     !context.session->unlockedLinks.contains(link->id)));
        item.Set("expires", JsonValue(static_cast<double>(link->expires * kMsPerSecond)));
        return item;
    }
    return {};
}

JsonValue WebApp::LinkObject(const Config& config, const ShareLink& link) const {
    const Share* share = config.FindShareById(link.shareId);
    JsonValue item = JsonValue::MakeObject();
    item.Set("id", JsonValue(link.id));
    item.Set("url", JsonValue("/s/" + link.token));
    item.Set("share", JsonValue(share != nullptr ? Utf16ToUtf8(share->name) : std::string()));
    item.Set("path", JsonValue(Utf16ToUtf8(link.path)));
    item.Set("mode", JsonValue(std::string(ModeName(link.mode))));
    item.Set("expires", JsonValue(static_cast<double>(link.expires * kMsPerSecond)));
    item.Set("created", JsonValue(static_cast<double>(link.created * kMsPerSecond)));
    item.Set("label", JsonValue(Utf16ToUtf8(link.label)));
    item.Set("uses", JsonValue(static_cast<double>(link.uses + m_linkUses.Pending(link.id))));
    item.Set("hasPassword", JsonValue(!link.password.empty()));
    return item;
}

void WebApp::CreateLink(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    HttpResponse& response = context.response;
    if (context.account == nullptr)
        return SendError(response, 401, "signIn");
    const Config& config = *context.config;
    const Share* share = config.FindShareByName(Utf8ToUtf16(body.Get("share").AsString()));
    if (share == nullptr)
        return SendError(response, 404, "notFound");
    const std::optional<PathComponents> path =
        ParseSharePath(Utf8ToUtf16(body.Get("path").AsString()));
    if (!path)
        return SendError(response, 400, "badPath");
    const std::string& modeText = body.Get("mode").AsString();
    const std::optional<LinkLifetime> lifetime = LifetimeNamed(body.Get("expiry").AsString());
    std::u16string label = Utf8ToUtf16(body.Get("label").AsString());
    if ((modeText != "view" && modeText != "upload") || !lifetime ||
        CodePoints(label) > ShareLink::kMaxLabelLength)
        return SendError(response, 400, "badRequest");
    const LinkMode mode = modeText == "upload" ? LinkMode::Upload : LinkMode::View;

    // A link grants what its creator may do with the target, and no more.
    const AccessFlags rights = CreatorRights(config, *share, context.account->name);
    if (rights == AccessFlags::None)
        return SendError(response, 404, "notFound");
    if (!HasAccess(rights, mode == LinkMode::Upload ? AccessFlags::Write : AccessFlags::Read))
        return SendError(response, 403, "forbidden");
    const std::optional<ShareRoot> shareRoot = ResolveShareRoot(share->path, share->file);
    const std::optional<ShareRoot> root =
        shareRoot ? ResolveLinkRoot(*shareRoot, *path, config.showHidden) : std::nullopt;
    if (!root)
        return SendError(response, 404, "notFound");
    if (mode == LinkMode::Upload && !root->fileName.empty())
        return SendError(response, 400, "notFolder");

    std::string passwordHash;
    if (const std::string& password = body.Get("password").AsString(); !password.empty()) {
        const PasswordCheckSlots::Slot slot = m_passwordChecks.Take();
        passwordHash = HashPassword(password, kPasswordIterations);
        if (passwordHash.empty())
            return SendError(response, 500, "failed");
    }
    std::optional<ShareLink> made =
        NewShareLink(share->id, JoinComponents(*path), *lifetime, WallSeconds(context.now));
    if (!made)
        return SendError(response, 500, "failed");
    ShareLink& link = *made;
    link.mode = mode;
    link.password = std::move(passwordHash);
    link.label = std::move(label);
    link.creator = context.account->name;

    bool gone = false;
    const bool stored = EditConfig([&](Config& current) {
        gone = current.FindShareById(link.shareId) == nullptr ||
               current.FindAccount(link.creator) == nullptr;
        if (gone)
            return false;
        current.links.push_back(link);
        return true;
    });
    if (!stored)
        return SendError(response, gone ? 404 : 500, gone ? "notFound" : "failed");
    SendJson(response, 201, LinkObject(config, link));
    LogAccess(context, "newLink", LinkLogName(*share, link), 201, 0);
}

void WebApp::ListLinks(Context& context) {
    if (context.account == nullptr)
        return SendError(context.response, 401, "signIn");
    JsonValue links = JsonValue::MakeArray();
    for (const ShareLink& link : context.config->links) {
        if (!link.creator.empty() && EqualsIgnoreCase(link.creator, context.account->name))
            links.Append(LinkObject(*context.config, link));
    }
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("links", std::move(links));
    SendJson(context.response, 200, reply);
}

void WebApp::DeleteLink(Context& context, std::string_view id) {
    // DELETE changes state as POST does, so it carries the same header.
    const std::string* marker = FindHeader(context.request.head, kCsrfHeader);
    if (marker == nullptr || *marker != "1")
        return SendError(context.response, 403, "csrf");
    if (context.account == nullptr)
        return SendError(context.response, 401, "signIn");
    const std::u16string user = context.account->name;
    const bool removed = EditConfig([&](Config& config) {
        return std::erase_if(config.links, [&](const ShareLink& link) {
                   return link.id == id && !link.creator.empty() &&
                          EqualsIgnoreCase(link.creator, user);
               }) != 0;
    });
    if (!removed)
        return SendError(context.response, 404, "notFound");
    Respond(context.response, 204, {}, std::string_view{});
}

} // namespace Velto::Corvane
