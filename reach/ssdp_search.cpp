#include "reach/ssdp_search.h"

#include "base/unique_fd.h"
#include "reach/ssdp_answer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace Velto::Corvane {
namespace {

constexpr const char* kSsdpGroup = "239.255.255.250";
constexpr std::uint16_t kSsdpPort = 1900;
constexpr int kMulticastTtl = 2;
constexpr std::chrono::milliseconds kListenTime{2500};
constexpr std::size_t kMaxLocations = 8;
constexpr std::size_t kMaxDatagram = 2048;
// Waits are cut into slices this long so that a cancel is noticed quickly.
constexpr int kPollSliceMs = 50;

} // namespace

std::vector<std::string> SearchGatewayLocations(std::stop_token cancel) {
    std::vector<std::string> locations;
    UniqueFd sock{::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)};
    if (!sock)
        return locations;
    const int ttl = kMulticastTtl;
    if (::setsockopt(sock.Get(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0)
        return locations;

    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(kSsdpPort);
    ::inet_pton(AF_INET, kSsdpGroup, &group.sin_addr);

    bool anySent = false;
    for (const auto target : kSearchTargets) {
        const std::string request = BuildSearchRequest(target);
        const ssize_t sent = ::sendto(sock.Get(), request.data(), request.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&group), sizeof group);
        anySent = anySent || sent == static_cast<ssize_t>(request.size());
    }
    // Without a route for the search there is nobody to hear from.
    if (!anySent)
        return locations;

    const auto deadline = std::chrono::steady_clock::now() + kListenTime;
    char buffer[kMaxDatagram];
    while (locations.size() < kMaxLocations && !cancel.stop_requested()) {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (remaining.count() < 1)
            break;
        pollfd pfd{sock.Get(), POLLIN, 0};
        const int ready = ::poll(
            &pfd, 1, static_cast<int>(std::min<std::int64_t>(remaining.count(), kPollSliceMs)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t got = ::recv(sock.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got <= 0)
            continue;
        auto location = ParseSearchAnswer(std::string_view{buffer, static_cast<std::size_t>(got)});
        if (location && std::find(locations.begin(), locations.end(), *location) == locations.end())
            locations.push_back(std::move(*location));
    }
    return locations;
}

} // namespace Velto::Corvane
