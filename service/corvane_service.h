#pragma once

#include "base/result.h"
#include "config/access_log.h"
#include "config/config.h"
#include "reach/ipv4_class.h"
#include "reach/upnp_state.h"
#include "server/http/http_server.h"
#include "service/service_options.h"
#include "service/service_status.h"
#include "webapp/asset_source.h"
#include "webapp/web_app.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace Velto::Corvane {

// Runs the file-sharing server for the program: owns the configuration and
// saves it, the access log, the web application, the HTTP server, the HTTPS
// credentials of a run and the worker that asks the router to forward the
// port. Every public operation may be called from the window thread while
// requests are served.
//
// Locks, never nested except configuration mutex -> outside mutex or
// configuration mutex -> an Outside's mutex.
class CorvaneService {
public:
    using OutsideChanged = std::function<void()>;

    // Refused to decrypt the stored certificate-file password.
    static constexpr Result kBadKey = static_cast<Result>(0x80090003u);
    // Router renewal after a mapped attempt and retry after a failed one.
    static constexpr std::int64_t kRenewSeconds = 1800;
    static constexpr std::int64_t kRetrySeconds = 300;
    static constexpr std::uint64_t kMaxConnections = 2048;
    static constexpr std::uint32_t kHeaderTimeoutMs = 15000;
    static constexpr std::uint32_t kIdleTimeoutMs = 60000;
    static constexpr std::uint32_t kIoTimeoutMs = 60000;

    CorvaneService(ServiceOptions options, const IAssetSource& assets);
    ~CorvaneService();
    CorvaneService(const CorvaneService&) = delete;
    CorvaneService& operator=(const CorvaneService&) = delete;

    // Reads config.json over the defaults and hands the result to the web
    // application. False when the file exists but cannot be used (the
    // defaults are in force then).
    bool LoadConfiguration();
    Config GetConfig() const;
    // Saves and applies; restarts a running server only when a setting the
    // listening socket or the router mapping depends on changed. Returns
    // whether config.json was saved; the configuration applies either way.
    bool ApplyConfig(const Config& config);
    // Changes the configuration as it is now: `edit` changes the copy it is
    // handed (false: nothing to change), and the result is saved, then
    // applied. True when it was both; nothing changes otherwise. A change
    // that needs a restart is refused unless `allowRestart`. The web
    // application edits through this from its request threads (links and
    // their use counts); such an edit gives up rather than wait through a
    // stop, which waits for those threads.
    bool EditConfig(const std::function<bool(Config&)>& edit, bool allowRestart = true);
    // The window's edits: like EditConfig, but with ApplyConfig's rules (the
    // change applies, restarting the server if it must, even when config.json
    // cannot be saved). None when `edit` found nothing to change; otherwise
    // whether config.json was saved.
    std::optional<bool> ChangeConfig(const std::function<bool(Config&)>& edit);

    // 0 also when the server already runs; otherwise the failure, which the
    // status records as well.
    Result Start();
    // Returns without waiting for the router; the mapping is removed by the
    // worker as it ends.
    void Stop();
    bool IsRunning() const { return m_server.IsRunning(); }
    ServiceStatus GetStatus() const;
    // Called on the worker thread after every port-forwarding attempt, outside
    // all locks. An empty function clears it.
    void SetOnOutsideChanged(OutsideChanged callback);

    AccessLog& Log() { return m_accessLog; }

    // Shares offered for this run only, next to the configured ones: the web
    // application sees them, config.json and GetConfig never do. A share whose
    // id or name (ignoring case) is already configured is left out.
    void SetTemporaryShares(std::vector<Share> shares);
    // A port used by the following starts instead of the configured one, never
    // saved; nullopt returns to the configured port.
    void SetPortForRun(std::optional<std::uint16_t> port);
    // Whether the following starts ask the router for a port mapping instead
    // of following the configured choice, never saved; nullopt returns to the
    // configured choice.
    void SetUpnpForRun(std::optional<bool> upnp);

private:
    bool ApplyConfigLocked(const Config& config);

    // One start of the port-forwarding worker, shared with its thread.
    struct Outside {
        std::mutex mutex; // guards stopRequested
        std::condition_variable wake;
        bool stopRequested{false};
        // Makes a router exchange in progress give up once a stop is asked for.
        std::stop_source cancel;
    };

    Result StartLocked();
    void StopLocked();
    Result PrepareTls(ServerOptions& options);
    void FailStart(Result code, bool certificateError);
    void StartOutside(std::uint16_t port);
    void RunOutside(std::shared_ptr<Outside> outside, std::uint16_t port,
                    std::shared_ptr<std::thread> previous);
    void PublishConfigLocked();

    ServiceOptions m_options;
    AccessLog m_accessLog;
    WebApp m_webApp;
    HttpServer m_server;

    // Guards m_config, m_status and the run overrides. An edit from a request
    // thread only tries it, again and again, so that it can give up while a
    // stop waits for that thread.
    mutable std::mutex m_configMutex;
    std::atomic<bool> m_stopping{false}; // a stop is waiting for the request threads
    Config m_config;
    ServiceStatus m_status;

    mutable std::mutex m_callbackMutex; // guards m_onOutsideChanged
    OutsideChanged m_onOutsideChanged;

    mutable std::mutex m_outsideMutex; // guards m_outside and the four fields after it
    std::shared_ptr<Outside> m_outside;
    UpnpState m_upnpState{UpnpState::Off};
    std::int32_t m_upnpError{0};
    std::string m_externalAddress;
    IPv4Class m_externalClass{IPv4Class::Invalid};

    // The most recently started worker; it joins the one before it.
    std::thread m_outsideThread;

    std::vector<Share> m_temporaryShares;
    std::optional<std::uint16_t> m_portForRun;
    std::optional<bool> m_upnpForRun;
};

} // namespace Velto::Corvane
