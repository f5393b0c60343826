#include "service/corvane_service.h"

#include "base/utf.h"
#include "config/config_file.h"
#include "config/secret_protection.h"
#include "server/cert/self_signed_certificate.h"
#include "server/tls/tls_config.h"
#include "server/tls/tls_credentials.h"
#include "service/local_addresses.h"

#include <chrono>
#include <cstring>
#include <string.h>
#include <thread>

namespace Velto::Corvane {
namespace {

constexpr char16_t kServerStoreName[] = u"MY";
constexpr const char* kLoopbackAddress = "127.0.0.1";
constexpr std::chrono::milliseconds kEditLockRetry{2};

bool NeedsRestart(const Config& before, const Config& after) {
    return before.port != after.port || before.https != after.https ||
           before.certificate != after.certificate || before.pfxPath != after.pfxPath ||
           before.pfxPassword != after.pfxPassword || before.upnp != after.upnp;
}

void Wipe(std::string& text) {
    ::explicit_bzero(text.data(), text.size());
    text.clear();
}

void Wipe(std::u16string& text) {
    ::explicit_bzero(text.data(), text.size() * sizeof(char16_t));
    text.clear();
}

} // namespace

CorvaneService::CorvaneService(ServiceOptions options, const IAssetSource& assets)
    : m_options(std::move(options)), m_accessLog(m_options.logsFolder),
      m_webApp(assets, m_accessLog), m_server(m_webApp) {
    // Uploads left unfinished by an earlier run are taken over or cleaned up
    // before the first request; without the folder they just cannot resume.
    if (!m_options.uploadsFolder.empty())
        m_webApp.OpenUploadState(m_options.uploadsFolder);
    // Links made in the browser, and their use counts, land in config.json
    // as the window's edits do; they never need a restart.
    m_webApp.SetConfigEditor(
        [this](const WebApp::ConfigEdit& edit) { return EditConfig(edit, false); });
}

CorvaneService::~CorvaneService() {
    m_webApp.WriteLinkUses(true);
    {
        const std::lock_guard lock(m_configMutex);
        StopLocked();
    }
    // The last worker removes its router mapping before this returns.
    if (m_outsideThread.joinable())
        m_outsideThread.join();
}

bool CorvaneService::LoadConfiguration() {
    Config loaded;
    const bool ok = LoadConfig(m_options.configPath, loaded);
    if (!ok)
        loaded = Config{};
    {
        const std::lock_guard lock(m_configMutex);
        m_config = std::move(loaded);
        PublishConfigLocked();
    }
    m_accessLog.RemoveOldFiles();
    return ok;
}

Config CorvaneService::GetConfig() const {
    const std::lock_guard lock(m_configMutex);
    return m_config;
}

bool CorvaneService::ApplyConfig(const Config& config) {
    const std::lock_guard lock(m_configMutex);
    return ApplyConfigLocked(config);
}

std::optional<bool> CorvaneService::ChangeConfig(const std::function<bool(Config&)>& edit) {
    const std::lock_guard lock(m_configMutex);
    Config changed = m_config;
    if (!edit(changed))
        return std::nullopt;
    return ApplyConfigLocked(changed);
}

bool CorvaneService::ApplyConfigLocked(const Config& config) {
    // Saved under the lock, so an edit made meanwhile is never saved over
    // by an older configuration, nor the other way round.
    const bool saved = SaveConfig(m_options.configPath, config);
    const bool restart = m_server.IsRunning() && NeedsRestart(m_config, config);
    m_config = config;
    PublishConfigLocked();
    if (restart) {
        StopLocked();
        StartLocked(); // the outcome shows in the status
    }
    return saved;
}

bool CorvaneService::EditConfig(const std::function<bool(Config&)>& edit, bool allowRestart) {
    std::unique_lock lock(m_configMutex, std::defer_lock);
    while (!lock.try_lock()) {
        if (m_stopping.load())
            return false;
        std::this_thread::sleep_for(kEditLockRetry);
    }
    Config changed = m_config;
    if (!edit(changed))
        return false;
    const bool restart = m_server.IsRunning() && NeedsRestart(m_config, changed);
    if ((restart && !allowRestart) || !SaveConfig(m_options.configPath, changed))
        return false;
    m_config = std::move(changed);
    PublishConfigLocked();
    if (restart) {
        StopLocked();
        StartLocked(); // the outcome shows in the status
    }
    return true;
}

void CorvaneService::SetTemporaryShares(std::vector<Share> shares) {
    const std::lock_guard lock(m_configMutex);
    m_temporaryShares = std::move(shares);
    PublishConfigLocked();
}

void CorvaneService::SetPortForRun(std::optional<std::uint16_t> port) {
    const std::lock_guard lock(m_configMutex);
    m_portForRun = port;
}

void CorvaneService::SetUpnpForRun(std::optional<bool> upnp) {
    const std::lock_guard lock(m_configMutex);
    m_upnpForRun = upnp;
}

void CorvaneService::PublishConfigLocked() {
    if (m_temporaryShares.empty()) {
        m_webApp.SetConfig(m_config);
        return;
    }
    Config offered = m_config;
    for (const Share& share : m_temporaryShares) {
        if (offered.FindShareById(share.id) || offered.FindShareByName(share.name))
            continue;
        offered.shares.push_back(share);
    }
    m_webApp.SetConfig(offered);
}

Result CorvaneService::Start() {
    const std::lock_guard lock(m_configMutex);
    return StartLocked();
}

void CorvaneService::Stop() {
    // Use counts still in memory reach config.json at a clean stop.
    m_webApp.WriteLinkUses(true);
    const std::lock_guard lock(m_configMutex);
    StopLocked();
}

void CorvaneService::FailStart(Result code, bool certificateError) {
    m_status.state = ServiceStatus::Failed;
    m_status.error = code;
    m_status.certificateError = certificateError;
}

Result CorvaneService::StartLocked() {
    if (m_server.IsRunning())
        return kOk;
    const std::uint16_t port = m_portForRun.value_or(m_config.port);
    m_status = ServiceStatus{};
    m_status.port = port;
    m_status.https = m_config.https;

    ServerOptions options;
    options.port = port;
    options.loopbackOnly = m_options.loopbackOnly;
    options.maxConnections = kMaxConnections;
    options.headerTimeoutMs = kHeaderTimeoutMs;
    options.idleTimeoutMs = kIdleTimeoutMs;
    options.ioTimeoutMs = kIoTimeoutMs;

    if (m_config.https) {
        const Result prepared = PrepareTls(options);
        if (Failed(prepared)) {
            FailStart(prepared, true);
            return prepared;
        }
    }

    const Result started = m_server.Start(options);
    if (Failed(started)) {
        FailStart(started, false);
        return started;
    }
    m_status.state = ServiceStatus::Running;
    m_status.port = m_server.BoundPort();
    if (m_options.loopbackOnly)
        m_status.localAddresses = {kLoopbackAddress};
    else
        m_status.localAddresses = LocalIPv4Addresses();
    // A server only this machine can reach has nothing for the router to
    // forward: a loopback-only run never sends it a word.
    if (!m_options.loopbackOnly && m_upnpForRun.value_or(m_config.upnp))
        StartOutside(m_server.BoundPort());
    return kOk;
}

Result CorvaneService::PrepareTls(ServerOptions& options) {
    Net::TlsConfig tls;
    tls.role = Net::TlsRole::Server;
    tls.storeName = kServerStoreName;
    tls.storeDirectory = m_options.certificateStoreFolder;

    if (m_config.certificate == CertificateKind::Pfx) {
        tls.pfxPath = m_config.pfxPath;
        if (!m_config.pfxPassword.empty()) {
            std::optional<std::string> clear = UnprotectSecret(m_config.pfxPassword);
            if (!clear)
                return kBadKey;
            tls.pfxPassword = Utf8ToUtf16(*clear);
            Wipe(*clear);
        }
        if (const Net::CertificateInfo info = Net::ReadCertificateInfo(tls); info.ok)
            m_status.thumbprint = info.sha256;
    } else {
        const CertificateNames names{m_options.keyNamePrefix, m_options.certificateSubject,
                                     m_options.certificateFriendlyName};
        CertificateThumbprints thumbprints;
        const Result ensured = EnsureSelfSignedCertificate(
            m_options.certificateStoreFolder, m_config.selfSignedThumbprint, names, thumbprints);
        if (Failed(ensured))
            return ensured;
        if (thumbprints.sha1 != m_config.selfSignedThumbprint) {
            m_config.selfSignedThumbprint = thumbprints.sha1;
            SaveConfig(m_options.configPath, m_config); // a failed save does not stop the start
        }
        tls.thumbprint = thumbprints.sha1;
        m_status.thumbprint = thumbprints.sha256;
    }

    const Result acquired = Net::AcquireSchannelCreds(tls, options.tls);
    Wipe(tls.pfxPassword);
    return acquired;
}

void CorvaneService::StopLocked() {
    std::shared_ptr<Outside> outside;
    {
        const std::lock_guard lock(m_outsideMutex);
        outside = std::move(m_outside);
        m_outside.reset();
        m_upnpState = UpnpState::Off;
        m_externalAddress.clear();
        m_externalClass = IPv4Class::Invalid;
    }
    if (outside) {
        {
            const std::lock_guard lock(outside->mutex);
            outside->stopRequested = true;
        }
        outside->wake.notify_all();
        outside->cancel.request_stop();
    }
    m_stopping = true;
    m_server.Stop();
    m_stopping = false;
    if (m_status.state == ServiceStatus::Running)
        m_status.state = ServiceStatus::Stopped;
}

ServiceStatus CorvaneService::GetStatus() const {
    ServiceStatus status;
    {
        const std::lock_guard lock(m_configMutex);
        status = m_status;
    }
    {
        const std::lock_guard lock(m_outsideMutex);
        status.upnpState = static_cast<std::int32_t>(m_upnpState);
        status.upnpError = m_upnpError;
        status.externalAddress = m_externalAddress;
        status.externalClass = static_cast<std::int32_t>(m_externalClass);
    }
    status.openConnections = m_server.ActiveConnections();
    status.bytesSent = m_server.BytesSent();
    status.bytesReceived = m_server.BytesReceived();
    return status;
}

void CorvaneService::SetOnOutsideChanged(OutsideChanged callback) {
    const std::lock_guard lock(m_callbackMutex);
    m_onOutsideChanged = std::move(callback);
}

} // namespace Velto::Corvane
