#include "service/local_addresses.h"

#include "service/default_route_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <array>
#include <memory>
#include <string_view>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kLinkLocalPrefix = "169.254.";

struct IfaddrsFree {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

bool IsUsable(const ifaddrs& entry) {
    if (!entry.ifa_addr || entry.ifa_addr->sa_family != AF_INET || !entry.ifa_name)
        return false;
    const unsigned flags = entry.ifa_flags;
    return (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
}

} // namespace

std::vector<std::string> LocalIPv4Addresses() {
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0)
        return {};
    const std::unique_ptr<ifaddrs, IfaddrsFree> list{raw};
    const std::set<unsigned> routed = DefaultRouteInterfaces();

    std::vector<std::string> withRoute;
    std::vector<std::string> withoutRoute;
    for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
        if (!IsUsable(*entry))
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        std::array<char, INET_ADDRSTRLEN> text{};
        if (!::inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size()))
            continue;
        std::string dotted{text.data()};
        if (dotted.starts_with(kLinkLocalPrefix))
            continue;
        // An address label such as "eth0:1" names its interface before the colon.
        const std::string_view label{entry->ifa_name};
        const std::string device{label.substr(0, label.find(':'))};
        const unsigned index = ::if_nametoindex(device.c_str());
        (index != 0 && routed.count(index) ? withRoute : withoutRoute).push_back(std::move(dotted));
    }
    withRoute.insert(withRoute.end(), withoutRoute.begin(), withoutRoute.end());
    return withRoute;
}

} // namespace Velto::Corvane
