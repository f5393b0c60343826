#include "app/desktop/home/address_list.h"

#include "base/utf.h"
#include "reach/ipv4_class.h"
#include "reach/upnp_state.h"

namespace App {

namespace {

using Velto::Corvane::ServiceStatus;
using Velto::Corvane::UpnpState;

constexpr std::uint16_t kDefaultHttpPort = 80;
constexpr std::uint16_t kDefaultHttpsPort = 443;

bool IsRunning(const ServiceStatus& status) {
    return status.state == ServiceStatus::Running;
}

} // namespace

std::u16string ServerUrl(bool https, std::uint16_t port, std::string_view host) {
    std::u16string url = https ? u"https://" : u"http://";
    url += Velto::Utf8ToUtf16(host);
    if (port != (https ? kDefaultHttpsPort : kDefaultHttpPort)) {
        url += u':';
        url += Velto::Utf8ToUtf16(std::to_string(port));
    }
    return url;
}

std::vector<std::u16string> AddressList(const ServiceStatus& status, AddressScope scope) {
    std::vector<std::u16string> urls;
    if (!IsRunning(status))
        return urls;
    if (scope == AddressScope::Local) {
        for (const std::string& address : status.localAddresses)
            urls.push_back(ServerUrl(status.https, status.port, address));
        return urls;
    }
    const auto upnp = static_cast<UpnpState>(status.upnpState);
    if (upnp == UpnpState::Mapped && !status.externalAddress.empty()) {
        urls.push_back(ServerUrl(status.https, status.port, status.externalAddress));
        return urls;
    }
    if (upnp == UpnpState::Working || status.localAddresses.empty())
        return urls;
    const std::string& first = status.localAddresses.front();
    if (Velto::Corvane::ClassifyIPv4(first) != Velto::Corvane::IPv4Class::Public)
        return urls;
    urls.push_back(ServerUrl(status.https, status.port, first));
    return urls;
}

std::u16string FirstLocalAddress(const ServiceStatus& status) {
    if (!IsRunning(status) || status.localAddresses.empty())
        return {};
    return ServerUrl(status.https, status.port, status.localAddresses.front());
}

} // namespace App
