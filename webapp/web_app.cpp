#include "webapp/web_app.h"

#include "base/clock.h"
#include "base/system_random.h"
#include "base/utf.h"
#include "server/http/request_helpers.h"
#include "webapp/dav/dav_service.h"

#include <new>
#include <utility>

namespace Velto::Corvane {

namespace {

constexpr std::size_t kSessionIdBytes = 32;

constexpr std::string_view kHtmlPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "media-src 'self'; connect-src 'self'; font-src 'self'; manifest-src 'self'; "
    "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

struct AssetType {
    std::string_view ending;
    std::string_view type;
};

constexpr AssetType kAssetTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".webmanifest", "application/manifest+json"},
};

std::string_view AssetContentType(std::string_view name) {
    for (const AssetType& row : kAssetTypes) {
        if (name.ends_with(row.ending))
            return row.type;
    }
    return "application/octet-stream";
}

constexpr std::string_view kFilesPrefix = "/files/";
constexpr std::string_view kAppPrefix = "/app/";
constexpr std::string_view kZipPrefix = "/zip/";
constexpr std::string_view kLinkPrefix = "/s/";
constexpr std::string_view kLinksRoute = "/api/links";
constexpr std::string_view kLinkRoutePrefix = "/api/links/";

} // namespace

WebApp::WebApp(const IAssetSource& assets, AccessLog& log, TickSource ticks,
               SessionStore::IdSource sessionIds)
    : m_assets(assets), m_log(log), m_ticks(ticks ? std::move(ticks) : TickSource(TickCount64)),
      m_sessions(kSessionIdleMs, sessionIds ? std::move(sessionIds) : SessionStore::IdSource([] {
                     return RandomHex(kSessionIdBytes);
                 })),
      m_wallStart(UnixSecondsFromFileTime(NowFileTime())), m_tickStart(m_ticks()),
      m_linkUses(m_tickStart), m_snapshot(std::make_shared<const Config>()),
      m_linkIndex(std::make_shared<const LinkIndex>()), m_dav(std::make_unique<DavService>(*this)) {
}

WebApp::~WebApp() = default;

std::shared_ptr<const Config> WebApp::CurrentConfig() const {
    const std::lock_guard lock(m_snapshotMutex);
    return m_snapshot;
}

void WebApp::SetConfig(const Config& config) {
    auto next = std::make_shared<const Config>(config);
    auto index = std::make_shared<const LinkIndex>(config.links);
    std::shared_ptr<const Config> previous;
    {
        const std::lock_guard lock(m_snapshotMutex);
        previous = std::exchange(m_snapshot, next);
        m_linkIndex = std::move(index);
    }
    Revoke(*previous, *next);
}

void WebApp::Handle(const HttpRequest& request, HttpBody& body, HttpResponse& response) {
    // Running out of memory must not escape into the connection thread; the
    // server answers 500 when no response was begun, and the connection closes.
    try {
        HandleRequest(request, body, response);
    } catch (const std::bad_alloc&) {
        response.CloseAfter();
    }
}

WebApp::Context WebApp::MakeContext(const HttpRequest& request, HttpBody& body,
                                    HttpResponse& response) {
    Context context{request, body, response, CurrentConfig(), std::nullopt, nullptr, m_ticks()};
    const std::string cookie = Cookie(request, kSessionCookie);
    if (cookie.empty())
        return context;
    context.session = m_sessions.Find(cookie, context.now);
    if (!context.session || context.session->user.empty())
        return context;
    context.account = context.config->FindAccount(context.session->user);
    if (context.account == nullptr) {
        // The account was deleted: its session ends here and the request
        // goes on as a visitor's.
        m_sessions.Remove(cookie);
        context.session.reset();
    }
    return context;
}

bool WebApp::DecodeRequestText(HttpResponse& response, std::string_view utf8, std::u16string& out) {
    if (Utf8ToUtf16Strict(utf8, out))
        return true;
    SendError(response, 400, "badName");
    return false;
}

// Cross-site requests cannot set a custom header without the server's consent,
// so every request that may change something must carry it.
bool WebApp::PassesCsrfCheck(const HttpRequest& request) {
    if (request.method != "POST" && request.method != "PUT")
        return true;
    const std::string* marker = FindHeader(request.head, kCsrfHeader);
    return marker != nullptr && *marker == "1";
}

void WebApp::HandleRequest(const HttpRequest& request, HttpBody& body, HttpResponse& response) {
    // WebDAV clients sign in with every request and never carry the session
    // cookie, so its requests leave before the cookie is read.
    if (DavService::Claims(request, *CurrentConfig()))
        return m_dav->Handle(request, body, response);
    Context context = MakeContext(request, body, response);
    if (!PassesCsrfCheck(request))
        return SendError(response, 403, "csrf");
    m_uploads.PurgeExpired(context.now);
    Route(context);
    WriteLinkUses(false);
}

void WebApp::Route(Context& context) {
    const std::string& path = context.request.path;
    const std::string& method = context.request.method;
    const bool isRead = method == "GET" || method == "HEAD";
    const bool isGet = method == "GET";
    const bool isPost = method == "POST";

    if (path == "/" && isRead)
        return SendAsset(context, "index.html");
    if (path.starts_with(kAppPrefix) && isRead)
        return SendAsset(context, std::string_view(path).substr(kAppPrefix.size()));
    if (path.starts_with(kFilesPrefix)) {
        const bool isPut = method == "PUT";
        if (!isRead && !isPut)
            return SendError(context.response, 405, "method");
        const std::string_view rest = std::string_view(path).substr(kFilesPrefix.size());
        const std::size_t slash = rest.find('/');
        const std::string_view share = rest.substr(0, slash);
        const std::string_view item =
            slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        std::u16string shareName;
        std::u16string itemPath;
        if (!DecodeRequestText(context.response, share, shareName) ||
            !DecodeRequestText(context.response, item, itemPath))
            return;
        if (isPut)
            return ReceiveUpload(context, shareName, itemPath);
        return SendFile(context, shareName, itemPath);
    }
    if (path == "/api/uploads" || path.starts_with("/api/uploads/"))
        return ServeUploads(context);
    if (path.starts_with(kZipPrefix) && isRead)
        return SendZip(context, std::string_view(path).substr(kZipPrefix.size()));
    if (path.starts_with(kLinkPrefix) && isGet)
        return VisitLink(context, std::string_view(path).substr(kLinkPrefix.size()));
    if (path == kLinksRoute && isGet)
        return ListLinks(context);
    if (path == kLinksRoute && isPost)
        return CreateLink(context);
    if (path.starts_with(kLinkRoutePrefix) && method == "DELETE")
        return DeleteLink(context, std::string_view(path).substr(kLinkRoutePrefix.size()));
    if (path == "/api/session" && isGet)
        return GetSession(context);
    if (path == "/api/shares" && isGet)
        return ListShares(context);
    if (path == "/api/list" && isGet)
        return ListFolder(context);
    if (path == "/api/thumb" && isGet)
        return SendThumbnail(context);
    if (path == "/api/search" && isGet)
        return Search(context);
    if (path == "/api/login" && isPost)
        return Login(context);
    if (path == "/api/logout" && isPost)
        return Logout(context);
    if (path == "/api/unlock" && isPost)
        return Unlock(context);
    if (path == "/api/zip" && isPost)
        return PrepareZip(context);
    if (path == "/api/mkdir" && isPost)
        return MakeFolder(context);
    if (path == "/api/rename" && isPost)
        return Rename(context);
    if (path == "/api/delete" && isPost)
        return DeleteItems(context);
    SendError(context.response, 404, "notFound");
}

void WebApp::SendAsset(Context& context, std::string_view name) {
    const std::optional<std::string> bytes = m_assets.GetAsset(name);
    if (!bytes)
        return SendError(context.response, 404, "notFound");
    HttpResponse& response = context.response;
    response.AddHeader("Cache-Control", "no-cache");
    if (name.ends_with(".html")) {
        response.AddHeader("Content-Security-Policy", std::string(kHtmlPolicy));
        response.AddHeader("X-Frame-Options", "DENY");
    }
    Respond(response, 200, AssetContentType(name), *bytes);
}

void WebApp::SendJson(HttpResponse& response, std::int32_t status, const JsonValue& value) {
    Respond(response, status, kJsonType, SerializeJson(value, false));
}

void WebApp::SendError(HttpResponse& response, std::int32_t status, std::string_view code) {
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("error", JsonValue(std::string(code)));
    SendJson(response, status, reply);
}

bool WebApp::ReadJsonBody(Context& context, JsonValue& out) {
    std::string text;
    if (!ReadAll(context.body, text, kMaxJsonBodyBytes)) {
        // The rest of an oversized or broken body is never read, so the
        // connection cannot carry another request.
        context.response.CloseAfter();
        SendError(context.response, 400, "badRequest");
        return false;
    }
    auto [value, ok] = ParseJson(text, kJsonMaxDepth, kMaxJsonBodyValues);
    if (!ok || value.Kind() != JsonKind::Object) {
        SendError(context.response, 400, "badRequest");
        return false;
    }
    out = std::move(value);
    return true;
}

void WebApp::LogAccess(const Context& context, std::string_view action, std::u16string_view detail,
                       std::int32_t status, std::uint64_t bytes) {
    AccessLogEntry entry;
    entry.time = 0;
    entry.address = context.request.peer;
    if (context.account != nullptr)
        entry.user = context.account->name;
    entry.action = std::string(action);
    entry.detail = std::u16string(detail);
    entry.result = status;
    entry.size = bytes;
    m_log.Append(std::move(entry));
}

} // namespace Velto::Corvane
