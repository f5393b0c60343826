// WebDAV dispatch: the address read as a share and a path, the visitor
// signed in by HTTP Basic, and the replies every method shares.
#include "webapp/dav/dav_service.h"

#include "base/utf.h"
#include "config/password_hash.h"
#include "server/http/percent_coding.h"
#include "server/http/request_helpers.h"
#include "webapp/dav/basic_credentials.h"

namespace Velto::Corvane {

namespace {

constexpr std::string_view kAllowedMethods =
    "OPTIONS, GET, HEAD, PUT, DELETE, PROPFIND, PROPPATCH, MKCOL, COPY, MOVE, LOCK, UNLOCK";
constexpr std::string_view kChallenge = "Basic realm=\"VeltoCorvane\", charset=\"UTF-8\"";
constexpr std::uint64_t kMsPerSecond = 1000;

// A name that matches no account and no share password is still checked
// against a hash, so it costs as much time as a wrong password does. Made
// once, on first use.
const std::string& DummyHash() {
    static const std::string hash = HashPassword("mantle-orchard-quill", kPasswordIterations);
    return hash;
}

} // namespace

bool DavService::Claims(const HttpRequest& request, const Config& config) {
    if (!config.webdav)
        return false;
    const std::string_view path = request.path;
    // Windows asks the server's root before it looks under /dav/.
    if (request.method == "OPTIONS" && path == "/")
        return true;
    return path == kPrefix || (path.starts_with(kPrefix) && path[kPrefix.size()] == '/');
}

void DavService::Handle(const HttpRequest& request, HttpBody& body, HttpResponse& response) {
    Call call{WebApp::Context{request, body, response, m_app.CurrentConfig(), std::nullopt, nullptr,
                              m_app.Now()},
              request.method,
              {},
              {}};
    if (call.method == "OPTIONS")
        return Options(call);
    // Empty segments ("//") collapse; a folder's address reads the same with
    // or without its trailing "/".
    std::string_view rest = std::string_view(request.path).substr(kPrefix.size());
    std::vector<std::string_view> segments;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        if (!segment.empty())
            segments.push_back(segment);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    if (!segments.empty()) {
        call.shareName = Utf8ToUtf16(segments.front());
        std::string item;
        for (std::size_t i = 1; i < segments.size(); ++i) {
            if (i > 1)
                item += '/';
            item += segments[i];
        }
        if (!IsValidUtf8(item) || !IsValidUtf8(segments.front()))
            return ReplyStatus(call, 400);
        call.itemPath = Utf8ToUtf16(item);
    }
    if (!SignIn(call))
        return;
    Dispatch(call);
}

void DavService::Dispatch(Call& call) {
    const std::string& method = call.method;
    if (method == "PROPFIND")
        return PropFind(call);
    if (method == "GET" || method == "HEAD")
        return Get(call);
    if (method == "PUT")
        return Put(call);
    if (method == "DELETE")
        return Delete(call);
    if (method == "MKCOL")
        return MakeCollection(call);
    if (method == "COPY")
        return CopyOrMove(call, false);
    if (method == "MOVE")
        return CopyOrMove(call, true);
    if (method == "PROPPATCH")
        return PropPatch(call);
    if (method == "LOCK")
        return Lock(call);
    if (method == "UNLOCK")
        return Unlock(call);
    call.context.response.AddHeader("Allow", std::string(kAllowedMethods));
    ReplyStatus(call, 405);
}

bool DavService::SignIn(Call& call) {
    const std::string* header = FindHeader(call.context.request.head, "authorization");
    if (header == nullptr)
        return true;
    const std::optional<BasicCredentials> credentials = ParseBasicAuthorization(*header);
    if (!credentials) {
        ReplyUnauthorized(call);
        return false;
    }
    WebApp::Context& context = call.context;
    const Config& config = *context.config;
    const Account* account = config.FindAccount(Utf8ToUtf16(credentials->name));
    const Share* share = call.shareName.empty() ? nullptr : config.FindShareByName(call.shareName);
    // A share password opens a share only where guests would have rights
    // behind it, as the unlock of the web API.
    if (share != nullptr &&
        (share->password.empty() || NormalizeAccess(share->guest) == AccessFlags::None))
        share = nullptr;
    const std::string accountPrint =
        m_credentials.Fingerprint(credentials->name, credentials->password, "account");
    const std::string sharePrint =
        share == nullptr ? std::string()
                         : m_credentials.Fingerprint(credentials->name, credentials->password,
                                                     "share:" + share->id);
    const auto openShare = [&call](const Share& unlocked) {
        Session session;
        session.unlockedShares.insert(unlocked.id);
        call.context.session = std::move(session);
    };
    if (account != nullptr && m_credentials.Holds(accountPrint, account->password, context.now)) {
        context.account = account;
        return true;
    }
    if (share != nullptr && m_credentials.Holds(sharePrint, share->password, context.now)) {
        openShare(*share);
        return true;
    }

    // Counted before the password is checked, as a sign-in is.
    AttemptLimiter::Admission admission = m_app.Limiter().Begin(context.request.peer, context.now);
    if (!admission.attempt) {
        const std::uint64_t seconds = (admission.waitMs + kMsPerSecond - 1) / kMsPerSecond;
        context.response.AddHeader("Retry-After", std::to_string(seconds));
        ReplyStatus(call, 429);
        return false;
    }
    bool accountVerified = false;
    bool shareVerified = false;
    {
        const PasswordCheckSlots::Slot slot = m_app.PasswordChecks().Take();
        if (account != nullptr)
            accountVerified = VerifyPassword(account->password, credentials->password);
        if (!accountVerified && share != nullptr)
            shareVerified = VerifyPassword(share->password, credentials->password);
        if (account == nullptr && share == nullptr)
            (void)VerifyPassword(DummyHash(), credentials->password);
    }
    if (accountVerified) {
        admission.attempt->Succeeded();
        m_credentials.Remember(accountPrint, account->password, context.now);
        context.account = account;
        return true;
    }
    if (shareVerified) {
        admission.attempt->Succeeded();
        m_credentials.Remember(sharePrint, share->password, context.now);
        openShare(*share);
        return true;
    }
    const std::uint64_t lock = admission.attempt->Failed(context.now);
    m_app.LogAccess(context, "loginFailed", Utf8ToUtf16(credentials->name), 401, 0);
    if (lock != 0) {
        context.response.AddHeader("Retry-After",
                                   std::to_string((lock + kMsPerSecond - 1) / kMsPerSecond));
        ReplyStatus(call, 429);
        return false;
    }
    ReplyUnauthorized(call);
    return false;
}

void DavService::ReplyStatus(Call& call, std::int32_t status) {
    HttpResponse& response = call.context.response;
    if (response.Begin(status, 0))
        response.Finish();
}

void DavService::ReplyUnauthorized(Call& call) {
    call.context.response.AddHeader("WWW-Authenticate", std::string(kChallenge));
    ReplyStatus(call, 401);
}

void DavService::ReplyRefusal(Call& call, std::int32_t status) {
    if (status == 401)
        return ReplyUnauthorized(call);
    ReplyStatus(call, status);
}

void DavService::ReplyXml(Call& call, std::int32_t status, const std::string& xml) {
    Respond(call.context.response, status, "application/xml; charset=utf-8", xml);
}

void DavService::Options(Call& call) {
    HttpResponse& response = call.context.response;
    response.AddHeader("DAV", "1, 2");
    response.AddHeader("MS-Author-Via", "DAV");
    response.AddHeader("Allow", std::string(kAllowedMethods));
    ReplyStatus(call, 200);
}

bool DavService::Gate(Call& call, AccessFlags required, ShareTarget& target) {
    const std::optional<WebApp::GateRefusal> refusal =
        m_app.CheckShare(call.context, call.shareName, call.itemPath, required, target);
    if (!refusal)
        return true;
    ReplyRefusal(
        call, StatusFor(*refusal, call.context.config->FindShareByName(call.shareName), required));
    return false;
}

std::int32_t DavService::StatusFor(const WebApp::GateRefusal& refusal, const Share* share,
                                   AccessFlags required) {
    // Signing in cannot open a read-only share for changes, so the client is
    // not asked for a password it would enter in vain.
    const bool changes =
        HasAccess(required, AccessFlags::Write) || HasAccess(required, AccessFlags::Delete);
    if (refusal.status == 401 && refusal.code == "signIn" && share != nullptr &&
        (share->readOnly || share->file) && changes)
        return 403;
    return refusal.status;
}

bool DavService::ReadXmlBody(Call& call, std::string& out) {
    if (ReadAll(call.context.body, out, kMaxXmlBodyBytes))
        return true;
    // The rest of the body is never read, so the connection cannot go on.
    call.context.response.CloseAfter();
    ReplyStatus(call, 413);
    return false;
}

std::string DavService::KeyOf(const Share& share, const PathComponents& components) {
    return share.id + "/" + Utf16ToUtf8(JoinComponents(components));
}

std::string DavService::KeyOf(const ShareTarget& target) {
    return KeyOf(*target.share, target.components);
}

std::string DavService::HrefOf(std::u16string_view shareName, const PathComponents& components,
                               bool collection) {
    std::string href = std::string(kPrefix) + "/";
    if (shareName.empty())
        return href;
    href += PercentEncode(Utf16ToUtf8(shareName), true);
    for (const std::u16string& component : components) {
        href += '/';
        href += PercentEncode(Utf16ToUtf8(component), true);
    }
    if (collection)
        href += '/';
    return href;
}

} // namespace Velto::Corvane
