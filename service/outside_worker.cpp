// The port-forwarding worker of CorvaneService: one thread per server run that
// asks the router for the mapping, renews it, and removes it when stopped.

#include "service/corvane_service.h"

#include "reach/upnp_client.h"

#include <algorithm>
#include <chrono>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kMappingDescription = "VeltoCorvane";
// A single wait never exceeds this; the deadline is checked again afterwards.
constexpr auto kLongestWait = std::chrono::hours(24);

UpnpState StateOf(std::int32_t status) {
    switch (status) {
    case UpnpMapResult::Mapped:
        return UpnpState::Mapped;
    case UpnpMapResult::NoGateway:
        return UpnpState::NoGateway;
    case UpnpMapResult::Conflict:
        return UpnpState::Conflict;
    case UpnpMapResult::Refused:
        return UpnpState::Refused;
    default:
        return UpnpState::Failed;
    }
}

} // namespace

void CorvaneService::StartOutside(std::uint16_t port) {
    auto outside = std::make_shared<Outside>();
    {
        const std::lock_guard lock(m_outsideMutex);
        m_outside = outside;
        m_upnpState = UpnpState::Working;
        m_externalAddress.clear();
        m_externalClass = IPv4Class::Invalid;
    }
    // The new worker joins the previous one. It is handed over shared, so
    // that a worker that cannot be started leaves it here rather than
    // destroying it unjoined.
    const auto previous = std::make_shared<std::thread>(std::move(m_outsideThread));
    try {
        m_outsideThread = std::thread(&CorvaneService::RunOutside, this, outside, port, previous);
    } catch (const std::exception&) {
        // No thread (the system is out of threads or memory): the server runs
        // on without a router mapping, and says so.
        m_outsideThread = std::move(*previous);
        const std::lock_guard lock(m_outsideMutex);
        if (m_outside == outside)
            m_upnpState = UpnpState::Failed;
    }
}

void CorvaneService::RunOutside(std::shared_ptr<Outside> outside, std::uint16_t port,
                                std::shared_ptr<std::thread> previous) {
    // One worker talks to the router at a time.
    if (previous->joinable())
        previous->join();

    UpnpClient client{outside->cancel.get_token()};
    for (;;) {
        {
            const std::lock_guard lock(outside->mutex);
            if (outside->stopRequested)
                break;
        }

        const UpnpMapResult result = client.MapPort(port, kMappingDescription);
        {
            const std::lock_guard lock(m_outsideMutex);
            if (m_outside == outside) {
                m_upnpState = StateOf(result.status);
                m_upnpError = result.upnpError;
                m_externalAddress = result.externalAddress.value_or(std::string{});
                m_externalClass = m_externalAddress.empty() ? IPv4Class::Invalid
                                                            : ClassifyIPv4(m_externalAddress);
            }
        }

        OutsideChanged callback;
        {
            const std::lock_guard lock(m_callbackMutex);
            callback = m_onOutsideChanged;
        }
        if (callback)
            callback();

        const auto next =
            std::chrono::steady_clock::now() +
            std::chrono::seconds(result.status == UpnpMapResult::Mapped ? kRenewSeconds
                                                                        : kRetrySeconds);
        std::unique_lock lock(outside->mutex);
        while (!outside->stopRequested) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= next)
                break;
            outside->wake.wait_until(lock, std::min(next, now + kLongestWait));
        }
        if (outside->stopRequested)
            break;
    }

    client.Unmap();
}

} // namespace Velto::Corvane
