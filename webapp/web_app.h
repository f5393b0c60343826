#pragma once

#include "base/clock.h"
#include "config/access_log.h"
#include "config/config.h"
#include "server/http/http_handler.h"
#include "webapp/asset_source.h"
#include "webapp/attempt_limiter.h"
#include "webapp/links/link_index.h"
#include "webapp/links/link_use_counter.h"
#include "webapp/password_check_slots.h"
#include "webapp/search/search_slots.h"
#include "webapp/session_store.h"
#include "webapp/share_target.h"
#include "webapp/thumbnails/thumbnail_cache.h"
#include "webapp/thumbnails/thumbnail_maker.h"
#include "webapp/uploads/temporary_upload.h"
#include "webapp/uploads/upload_state_store.h"
#include "webapp/zip/zip_job.h"
#include "json/json.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

class DavService;
struct ItemStat;

// The one request handler of the server: the browser client's files and the
// JSON API it calls. Works on an immutable configuration snapshot that
// SetConfig replaces; every request keeps the snapshot it started with.
class WebApp final : public IHttpHandler {
public:
    // Milliseconds on a clock that keeps counting through suspend. Tests pass
    // their own to move time.
    using TickSource = std::function<std::uint64_t()>;

    static constexpr std::uint64_t kSessionIdleMs = 43'200'000;
    static constexpr std::uint64_t kMaxJsonBodyBytes = 262'144;
    // Values (object keys included) a JSON body may hold: room for the 10,000
    // names of the largest ZIP or delete request and the members around them.
    static constexpr std::size_t kMaxJsonBodyValues = 10'240;
    static constexpr std::string_view kSessionCookie = "vcs";
    static constexpr std::string_view kCsrfHeader = "x-veltocorvane";
    static constexpr std::string_view kJsonType = "application/json; charset=utf-8";
    static constexpr std::uint64_t kZipJobLifetimeMs = 60'000;
    static constexpr std::size_t kMaxZipJobs = 1'000; // pending after purging; one more fits
    // Pending jobs one address group, and one session, may hold: far below the
    // table's size, so that no visitor fills it for everyone else (even 64
    // addresses together stay below it).
    static constexpr std::size_t kMaxZipJobsPerClient = 12;
    static constexpr std::size_t kMaxZipJobsPerSession = 6;
    static constexpr std::size_t kMaxZipNames = 10'000;
    static constexpr std::size_t kZipTokenBytes = 16;
    static constexpr std::uint32_t kMaxZipDepth = 64;
    static constexpr std::size_t kZipReadBytes = 262'144;
    // Archive records and small files are gathered into chunks of about this
    // size; files from this size on are sent from the file itself.
    static constexpr std::size_t kZipBatchBytes = 65'536;
    static constexpr std::uint64_t kZipGatherBelowBytes = 65'536;
    static constexpr std::uint64_t kThumbnailBudgetBytes = 67'108'864;
    // One search answers with at most this many items, after at most this
    // long, with at most this many folders waiting to be read.
    static constexpr std::size_t kMaxSearchResults = 3'000;
    static constexpr std::uint64_t kSearchBudgetMs = 3'000;
    static constexpr std::size_t kMaxSearchPendingFolders = 100'000;
    static constexpr std::size_t kSearchesPerAddress = 2;

    // Everything one request works with. The configuration is the snapshot
    // taken when the request started; `account` points into it.
    struct Context {
        const HttpRequest& request;
        HttpBody& body;
        HttpResponse& response;
        std::shared_ptr<const Config> config;
        std::optional<Session> session;
        const Account* account{nullptr};
        std::uint64_t now{0};
    };

    // Changes the configuration the program keeps: `edit` changes the copy
    // it is handed and returns false when it finds nothing to change. The
    // editor returns true when the change was made (saved and applied), false
    // when the edit declined it or it could not be made.
    using ConfigEdit = std::function<bool(Config&)>;
    using ConfigEditor = std::function<bool(const ConfigEdit&)>;

    // `ticks` and `sessionIds` default to the system's clock and random source;
    // tests pass their own.
    WebApp(const IAssetSource& assets, AccessLog& log, TickSource ticks = {},
           SessionStore::IdSource sessionIds = {});
    WebApp(const WebApp&) = delete;
    WebApp& operator=(const WebApp&) = delete;
    ~WebApp() override;

    // Installs a new snapshot, then ends share unlocks and sessions that the
    // change revoked (changed or removed share passwords and accounts).
    void SetConfig(const Config& config);
    std::shared_ptr<const Config> CurrentConfig() const;
    // Installs how links made through the API and their use counts reach the
    // program's configuration. Without one they change only this object's
    // snapshot (they last until it ends).
    void SetConfigEditor(ConfigEditor editor);
    // Writes the link uses counted since the last write, when a minute has
    // passed since then or `force` is set (at a stop).
    void WriteLinkUses(bool force);
    // Seconds since 1970 at tick `now`: the wall time read when this object
    // was made plus the ticks since. Link lifetimes are measured by it, so a
    // test moves them with its tick source, and the ticks keep counting
    // through a suspend as a wall clock does.
    std::int64_t WallSeconds(std::uint64_t now) const;

    void Handle(const HttpRequest& request, HttpBody& body, HttpResponse& response) override;

    // The context of a request: the current snapshot, the time, and the
    // visitor's session and account from the "vcs" cookie. A session whose
    // account no longer exists is ended here.
    Context MakeContext(const HttpRequest& request, HttpBody& body, HttpResponse& response);

    // Helpers shared by every route.
    static void SendJson(HttpResponse& response, std::int32_t status, const JsonValue& value);
    static void SendError(HttpResponse& response, std::int32_t status, std::string_view code);
    // The UTF-16 form of a share name or path from the request line; on false
    // (the bytes are not well-formed UTF-8) a 400 badName reply was sent, as
    // no item can carry such a name.
    static bool DecodeRequestText(HttpResponse& response, std::string_view utf8,
                                  std::u16string& out);
    // Reads and parses a JSON object body; on false the error reply was sent.
    bool ReadJsonBody(Context& context, JsonValue& out);
    void LogAccess(const Context& context, std::string_view action, std::u16string_view detail,
                   std::int32_t status, std::uint64_t bytes);
    // False (after a 429 reply) when the client address is locked out.
    bool CheckLockout(Context& context);
    void SetSessionCookie(Context& context, std::string_view id, bool clear);
    // The share gate: finds the share, checks the visitor's rights and the
    // item path, and resolves the share's root. On false the reply was sent.
    bool OpenShare(Context& context, std::u16string_view shareName, std::u16string_view itemPath,
                   AccessFlags required, ShareTarget& out);
    // The share gate without its reply: the status and error code OpenShare
    // would send, or none when the target was resolved into `out`.
    struct GateRefusal {
        std::int32_t status{0};
        std::string_view code;
    };
    std::optional<GateRefusal> CheckShare(const Context& context, std::u16string_view shareName,
                                          std::u16string_view itemPath, AccessFlags required,
                                          ShareTarget& out) const;

    // The shares a visitor sees listed, with the visitor's rights on each. A
    // share whose password is all that stands between the visitor and it is
    // listed locked, with no rights.
    struct VisibleShare {
        const Share* share{nullptr};
        AccessFlags rights{};
        bool locked{false};
    };
    std::vector<VisibleShare> VisibleShares(const Context& context) const;

    // A file opened inside a share, sent with its validators and byte ranges
    // as the download route sends it, and logged as a download.
    void SendOpenedFile(Context& context, const ShareTarget& target, int fd, const ItemStat& stat,
                        bool view);

    // Storing an upload's body under the name that ends target.components:
    // where an existing item of that name leaves it.
    enum class UploadNaming {
        Numbered, // the first free name among the name and its numbered forms
        Replace,  // an existing file is replaced in one step
        Exact,    // the name itself, or nothing when it is taken
    };
    struct UploadOptions {
        UploadNaming naming{UploadNaming::Numbered};
        // The body's announced length when the framing does not carry it
        // (a chunked body whose sender said how long it will be).
        std::optional<std::uint64_t> announcedLength;
        // The modification time the stored file gets instead of now.
        std::optional<FileTime> modified;
    };
    struct UploadOutcome {
        std::int32_t status{0}; // 201 when stored
        std::string_view code;  // the error code otherwise
        std::u16string finalName;
        bool closeConnection{false}; // the body was left unread
    };
    // Streams the body into a temporary file beside the destination, marks,
    // flushes and renames it, and logs the upload. The caller passed the gate
    // with the rights the naming needs.
    UploadOutcome StoreUpload(Context& context, const ShareTarget& target,
                              const UploadOptions& options);

    // Keeps resumable uploads and the temporary files of running PUTs in
    // `folder`, taking over what an earlier run left there (see
    // UploadStateStore::Open). Without it resumable uploads are not offered.
    bool OpenUploadState(const std::string& folder);

    SessionStore& Sessions() { return m_sessions; }
    AttemptLimiter& Limiter() { return m_limiter; }
    PasswordCheckSlots& PasswordChecks() { return m_passwordChecks; }
    std::uint64_t Now() const { return m_ticks(); }

private:
    void HandleRequest(const HttpRequest& request, HttpBody& body, HttpResponse& response);
    static bool PassesCsrfCheck(const HttpRequest& request);
    void Route(Context& context);
    void SendAsset(Context& context, std::string_view name);

    // Sessions, sign-in and share unlock.
    void GetSession(Context& context);
    void Login(Context& context);
    void Logout(Context& context);
    void Unlock(Context& context);
    void ReplyLocked(Context& context, std::uint64_t remainingMs);
    void Revoke(const Config& previous, const Config& next);
    bool PasswordStillCurrent(const Account& account) const;
    bool PasswordStillCurrent(const Share& share) const;
    bool IsUnlocked(const Context& context, const Share& share) const;

    // Share links: the gate for ":<id>" names, visits, unlock and the API.
    std::optional<GateRefusal> CheckLink(const Context& context, std::u16string_view linkName,
                                         std::u16string_view itemPath, AccessFlags required,
                                         ShareTarget& out) const;
    const ShareLink* OpenedLink(const Context& context, std::string_view linkId) const;
    void VisitLink(Context& context, std::string_view token);
    void UnlockLink(Context& context, std::string_view linkId, std::string_view password,
                    AttemptLimiter::Attempt& attempt);
    JsonValue SessionLink(const Context& context) const;
    void CreateLink(Context& context);
    void ListLinks(Context& context);
    void DeleteLink(Context& context, std::string_view id);
    JsonValue LinkObject(const Config& config, const ShareLink& link) const;
    bool EditConfig(const ConfigEdit& edit);

    // Listing and download.
    void ListShares(Context& context);
    void ListFolder(Context& context);
    void SendFile(Context& context, std::u16string_view shareName, std::u16string_view itemPath);

    // Upload and file operations.
    void ReceiveUpload(Context& context, std::u16string_view shareName,
                       std::u16string_view itemPath);
    void MakeFolder(Context& context);
    void Rename(Context& context);
    void DeleteItems(Context& context);

    // Resumable uploads.
    void ServeUploads(Context& context);
    void CreateUpload(Context& context);
    bool FindOwnUpload(Context& context, std::string_view id, UploadRecord& out);
    void ShowUpload(Context& context, std::string_view id);
    void ContinueUpload(Context& context, std::string_view id);
    void FinishUpload(Context& context, std::string_view id, const UploadRecord& record,
                      const ShareTarget& target, int folder, TemporaryUpload& temp);
    void TerminateUpload(Context& context, std::string_view id);

    // ZIP download and thumbnails.
    struct ZipBuild;
    void PrepareZip(Context& context);
    void SendZip(Context& context, std::string_view token);
    bool AddPathToZip(Context& context, ZipBuild& build, const ShareRoot& root,
                      PathComponents& components, const std::string& entryName,
                      std::uint32_t depth);
    void SendThumbnail(Context& context);

    // Search by name below a folder.
    void Search(Context& context);

    const IAssetSource& m_assets;
    AccessLog& m_log;
    const TickSource m_ticks;
    SessionStore m_sessions;
    AttemptLimiter m_limiter;
    PasswordCheckSlots m_passwordChecks; // bounds password checks running at once
    SearchSlots m_searchSlots{kSearchesPerAddress};
    ThumbnailCache m_thumbnails{kThumbnailBudgetBytes};
    ThumbnailMaker m_thumbnailMaker;
    UploadStateStore m_uploads;
    const std::int64_t m_wallStart;
    const std::uint64_t m_tickStart;
    LinkUseCounter m_linkUses;
    std::mutex m_editorMutex; // guards m_editor; serializes edits of the snapshot without one
    ConfigEditor m_editor;
    mutable std::mutex m_snapshotMutex; // guards m_snapshot, m_linkIndex and m_zipJobs
    std::shared_ptr<const Config> m_snapshot;
    std::shared_ptr<const LinkIndex> m_linkIndex;         // the snapshot's links by token
    std::map<std::string, ZipJob, std::less<>> m_zipJobs; // by token
    std::unique_ptr<DavService> m_dav;                    // the WebDAV view of the same shares
};

} // namespace Velto::Corvane
