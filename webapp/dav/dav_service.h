#pragma once

#include "config/config.h"
#include "server/http/http_body.h"
#include "server/http/http_request.h"
#include "server/http/http_response.h"
#include "webapp/dav/credential_cache.h"
#include "webapp/dav/dav_headers.h"
#include "webapp/dav/lock_table.h"
#include "webapp/share_target.h"
#include "webapp/web_app.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

struct ItemStat;
class MultistatusWriter;
struct PropfindRequest;

// WebDAV (classes 1 and 2) over the shares under /dav/: "/dav/" is the
// collection of the shares the visitor may see, "/dav/<share>/<path>" their
// items. Every request passes the web application's own share gate, with
// the visitor signed in by HTTP Basic on each request (never by the session
// cookie), and changes items through the same code as the web API.
class DavService {
public:
    static constexpr std::string_view kPrefix = "/dav";
    static constexpr std::uint64_t kMaxXmlBodyBytes = 1'048'576;
    static constexpr std::uint64_t kDefaultLockSeconds = 3'600;
    static constexpr std::uint64_t kMaxLockSeconds = 86'400;
    static constexpr std::uint32_t kMaxCopyDepth = 64;

    explicit DavService(WebApp& app) : m_app(app) {}
    DavService(const DavService&) = delete;
    DavService& operator=(const DavService&) = delete;

    // True for requests this service answers while WebDAV is switched on:
    // everything under /dav/, and OPTIONS on "/" (Windows probes the root).
    static bool Claims(const HttpRequest& request, const Config& config);
    void Handle(const HttpRequest& request, HttpBody& body, HttpResponse& response);

private:
    // One request: its context, and its address read as a share and the
    // path inside it.
    struct Call {
        WebApp::Context context;
        std::string method;
        std::u16string shareName; // empty for /dav/ itself
        std::u16string itemPath;  // components joined with "/"
    };
    // A resource's state for If conditions and lock checks.
    struct Resource {
        std::string key;
        std::string etag; // empty for folders and missing items
    };
    struct IfState {
        bool present{false};
        bool holds{true};
        std::vector<std::string> tokens; // every state token submitted
    };

    // Dispatch, sign-in and replies (dav_service.cpp).
    void Dispatch(Call& call);
    bool SignIn(Call& call);
    void ReplyStatus(Call& call, std::int32_t status);
    void ReplyUnauthorized(Call& call);
    void ReplyRefusal(Call& call, std::int32_t status);
    void ReplyXml(Call& call, std::int32_t status, const std::string& xml);
    void Options(Call& call);
    // The share gate for the request's own address; on false the reply was sent.
    bool Gate(Call& call, AccessFlags required, ShareTarget& target);
    // The status a refusal of the share gate gets here.
    static std::int32_t StatusFor(const WebApp::GateRefusal& refusal, const Share* share,
                                  AccessFlags required);
    bool ReadXmlBody(Call& call, std::string& out);
    static std::string KeyOf(const ShareTarget& target);
    static std::string KeyOf(const Share& share, const PathComponents& components);
    static std::string HrefOf(std::u16string_view shareName, const PathComponents& components,
                              bool collection);

    // Locks and conditions (dav_locks.cpp).
    IfState EvaluateIf(Call& call, const Resource& requestResource);
    Resource ResourceAt(Call& call, std::string_view encodedPath);
    Resource ResourceOf(const ShareTarget& target, bool showHidden);
    // False, after a 423 or 412 reply, when a lock on `key` (or on a folder
    // above it, or with `subtree` below it) was not named in the If header,
    // or when the If header does not hold.
    bool MayChange(Call& call, const IfState& conditions, const std::string& key, bool subtree);
    // A change to a folder's members also needs the tokens of its locks.
    bool MayChangeMembers(Call& call, const IfState& conditions, const ShareTarget& target);
    void Lock(Call& call);
    void Unlock(Call& call);
    std::string ActiveLockXml(const DavLock& lock) const;
    std::string LockDiscoveryXml(const std::string& key, std::uint64_t now);

    // Reading (dav_propfind.cpp).
    void PropFind(Call& call);
    void PropFindShares(Call& call, const PropfindRequest& request, DavDepth depth);
    void PropPatch(Call& call);
    void Get(Call& call);

    // Changing (dav_write.cpp).
    void Put(Call& call);
    void Delete(Call& call);
    void MakeCollection(Call& call);
    void CopyOrMove(Call& call, bool move);

    WebApp& m_app;
    LockTable m_locks;
    CredentialCache m_credentials;
};

} // namespace Velto::Corvane
