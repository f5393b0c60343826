#include "reach/upnp_client.h"

#include "reach/http_exchange.h"
#include "reach/http_url.h"
#include "reach/ipv4_class.h"
#include "reach/local_address.h"
#include "reach/soap_call.h"
#include "reach/ssdp_search.h"
#include "reach/xml_scan.h"

namespace Velto::Corvane {
namespace {

constexpr long kHttpOk = 200;
constexpr std::int32_t kErrorConflictInMapping = 718;
constexpr std::int32_t kErrorOnlyPermanentLeases = 725;
constexpr std::string_view kLeaseSeconds = "3600";
constexpr std::string_view kPermanentLease = "0";
constexpr int kMaxMapAttempts = 2;

SoapArguments AddPortMappingArguments(std::uint16_t port, std::string_view localAddress,
                                      std::string_view description, std::string_view lease) {
    const std::string portText = std::to_string(port);
    return {
        {"NewRemoteHost", ""},
        {"NewExternalPort", portText},
        {"NewProtocol", "TCP"},
        {"NewInternalPort", portText},
        {"NewInternalClient", std::string{localAddress}},
        {"NewEnabled", "1"},
        {"NewPortMappingDescription", std::string{description}},
        {"NewLeaseDuration", std::string{lease}},
    };
}

} // namespace

void UpnpClient::ForgetGateway() {
    m_gatewayKnown = false;
    m_service = {};
    m_localAddress.clear();
}

bool UpnpClient::TryLocation(const std::string& location) {
    const auto url = ParseHttpUrl(location);
    // Only a gateway on the local network is ever contacted.
    if (!url || ClassifyIPv4(url->host) != IPv4Class::Private)
        return false;
    const auto reply = HttpExchange(location, "GET", {}, {}, m_cancel);
    if (!reply || reply->status != kHttpOk)
        return false;
    auto service = ParseDeviceDescription(reply->body, location);
    if (!service)
        return false;
    // The control URL must not send the mapping request to another host.
    const auto control = ParseHttpUrl(service->controlUrl);
    if (!control || control->host != url->host)
        return false;
    std::string local = LocalAddressToward(url->host, control->port);
    if (local.empty())
        return false;
    m_service = std::move(*service);
    m_localAddress = std::move(local);
    m_gatewayKnown = true;
    return true;
}

// The address this PC uses toward the gateway can change during a run (a new
// DHCP lease, another network adapter); a renewal must forward the port to the
// current one. Looking it up sends nothing.
void UpnpClient::RefreshLocalAddress() {
    const auto control = ParseHttpUrl(m_service.controlUrl);
    if (!control)
        return;
    if (std::string local = LocalAddressToward(control->host, control->port); !local.empty())
        m_localAddress = std::move(local);
}

bool UpnpClient::Discover() {
    ForgetGateway();
    for (const auto& location : SearchGatewayLocations(m_cancel)) {
        if (m_cancel.stop_requested())
            return false;
        if (TryLocation(location))
            return true;
    }
    return false;
}

UpnpMapResult UpnpClient::MapPort(std::uint16_t port, std::string_view description) {
    UpnpMapResult result;
    for (int attempt = 0; attempt < kMaxMapAttempts; ++attempt) {
        const bool wasKnown = m_gatewayKnown;
        if (!m_gatewayKnown && !Discover()) {
            result.status = m_cancel.stop_requested() ? UpnpMapResult::CommunicationFailure
                                                      : UpnpMapResult::NoGateway;
            return result;
        }
        RefreshLocalAddress();
        result.localAddress = m_localAddress;

        SoapReply reply = SoapCall(
            m_service, "AddPortMapping",
            AddPortMappingArguments(port, m_localAddress, description, kLeaseSeconds), m_cancel);
        if (reply.transportOk && reply.httpStatus != kHttpOk &&
            reply.upnpError == kErrorOnlyPermanentLeases) {
            reply = SoapCall(
                m_service, "AddPortMapping",
                AddPortMappingArguments(port, m_localAddress, description, kPermanentLease),
                m_cancel);
        }

        if (reply.transportOk && reply.httpStatus == kHttpOk) {
            m_mappedPort = port;
            result.status = UpnpMapResult::Mapped;
            const SoapReply external = SoapCall(m_service, "GetExternalIPAddress", {}, m_cancel);
            if (external.transportOk && external.httpStatus == kHttpOk) {
                std::string address = ElementText(external.body, "NewExternalIPAddress");
                if (ClassifyIPv4(address) != IPv4Class::Invalid)
                    result.externalAddress = std::move(address);
            }
            return result;
        }
        if (reply.transportOk) {
            result.upnpError = reply.upnpError;
            if (reply.upnpError == kErrorConflictInMapping)
                result.status = UpnpMapResult::Conflict;
            else if (reply.upnpError == 0)
                result.status = UpnpMapResult::CommunicationFailure;
            else
                result.status = UpnpMapResult::Refused;
            return result;
        }

        // No answer: a gateway remembered from an earlier call may have gone
        // away or changed its address, so search afresh once.
        result.status = UpnpMapResult::CommunicationFailure;
        if (!wasKnown || m_cancel.stop_requested())
            return result;
        ForgetGateway();
    }
    return result;
}

void UpnpClient::Unmap() {
    const std::uint16_t port = m_mappedPort;
    m_mappedPort = 0;
    if (port == 0 || !m_gatewayKnown)
        return;
    SoapCall(
        m_service, "DeletePortMapping",
        {{"NewRemoteHost", ""}, {"NewExternalPort", std::to_string(port)}, {"NewProtocol", "TCP"}});
}

} // namespace Velto::Corvane
