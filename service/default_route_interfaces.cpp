#include "service/default_route_interfaces.h"

#include "base/interrupt_retry.h"
#include "base/unique_fd.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace Velto::Corvane {
namespace {

constexpr std::size_t kReceiveBufferSize = 32768;
constexpr int kReceiveTimeoutSeconds = 2;
// A dump of a routing table with more parts than this is cut short; hosts that
// share files have a handful of routes.
constexpr int kMaxReceives = 4096;

struct RouteRequest {
    nlmsghdr header;
    rtmsg route;
};

void AddNexthops(const rtattr* attribute, std::set<unsigned>& found) {
    const auto* nexthop = static_cast<const rtnexthop*>(RTA_DATA(attribute));
    int remaining = static_cast<int>(RTA_PAYLOAD(attribute));
    while (RTNH_OK(nexthop, remaining)) {
        if (nexthop->rtnh_ifindex > 0)
            found.insert(static_cast<unsigned>(nexthop->rtnh_ifindex));
        remaining -= NLMSG_ALIGN(nexthop->rtnh_len);
        nexthop = RTNH_NEXT(nexthop);
    }
}

void ReadRoute(const nlmsghdr* message, std::set<unsigned>& found) {
    const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(message));
    if (message->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
        return;
    if (route->rtm_family != AF_INET || route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST ||
        route->rtm_table == RT_TABLE_LOCAL)
        return;
    int remaining = static_cast<int>(RTM_PAYLOAD(message));
    for (const rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, remaining);
         attribute = RTA_NEXT(attribute, remaining)) {
        if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(std::uint32_t)) {
            std::uint32_t index = 0;
            std::memcpy(&index, RTA_DATA(attribute), sizeof index);
            if (index > 0)
                found.insert(index);
        } else if (attribute->rta_type == RTA_MULTIPATH) {
            AddNexthops(attribute, found);
        }
    }
}

} // namespace

std::set<unsigned> DefaultRouteInterfaces() {
    std::set<unsigned> found;
    const UniqueFd socket{::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)};
    if (!socket)
        return found;
    const timeval timeout{kReceiveTimeoutSeconds, 0};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    RouteRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.route.rtm_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket.Get(), &request, request.header.nlmsg_len, 0,
                 reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0)
        return {};

    alignas(nlmsghdr) std::array<char, kReceiveBufferSize> buffer;
    for (int receives = 0; receives < kMaxReceives; ++receives) {
        const ssize_t got =
            RetryOnInterrupt([&] { return ::recv(socket.Get(), buffer.data(), buffer.size(), 0); });
        if (got <= 0)
            return {};
        int remaining = static_cast<int>(got);
        for (const auto* message = reinterpret_cast<const nlmsghdr*>(buffer.data());
             NLMSG_OK(message, remaining); message = NLMSG_NEXT(message, remaining)) {
            if (message->nlmsg_type == NLMSG_DONE)
                return found;
            if (message->nlmsg_type == NLMSG_ERROR)
                return {};
            if (message->nlmsg_type == RTM_NEWROUTE)
                ReadRoute(message, found);
        }
    }
    return found;
}

} // namespace Velto::Corvane
