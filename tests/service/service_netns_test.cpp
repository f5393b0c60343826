// The service inside network namespaces made by the test: the local address
// list over veth interfaces, and the port-forwarding worker against the
// scripted UPnP responder. Needs root for the namespaces.

#include "service/local_addresses.h"
#include "tests/support/netns_lab.h"
#include "tests/support/responder_lab.h"
#include "tests/support/service_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>
#include <unistd.h>

namespace Velto::Corvane::Testing {
namespace {

// Bounds on waiting for the kernel, the responder and the worker; a safety net
// against a hang, not a measure of speed.
constexpr auto kSettleLimit = std::chrono::seconds(20);
constexpr auto kRouterLimit = std::chrono::seconds(60);
constexpr auto kPollStep = std::chrono::milliseconds(50);

template <typename Predicate> bool WaitUntil(Predicate done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

// Counts the worker's reports and lets the test wait for the next one.
class OutsideReports {
public:
    void Attach(CorvaneService& service) {
        service.SetOnOutsideChanged([this] {
            const std::lock_guard lock(m_mutex);
            ++m_count;
            m_changed.notify_all();
        });
    }
    bool WaitFor(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kRouterLimit, [&] { return m_count >= count; });
    }

private:
    std::mutex m_mutex; // guards m_count
    std::condition_variable m_changed;
    int m_count{0};
};

class ServiceNetnsTest : public ServiceFixture {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to create network namespaces";
        ServiceFixture::SetUp();
    }

    // A service with port forwarding on, listening on every address of the
    // router lab's client namespace (which the caller has entered), started.
    // `reports` counts its worker's reports.
    CorvaneService& StartForwarding(OutsideReports& reports, Config& config) {
        CorvaneService& service = MakeService(false);
        reports.Attach(service);
        config = BaseConfig(FreeLoopbackPort());
        config.upnp = true;
        EXPECT_TRUE(service.ApplyConfig(config));
        EXPECT_EQ(service.Start(), 0);
        return service;
    }
};

// ---------------------------------------------------------------------------
// Local addresses

struct Link {
    std::string name;
    std::vector<std::string> addresses; // with prefix length
    bool peerUp{true};                  // a veth whose peer is down has no carrier
    std::string gateway;                // default route via this address when set
};

// A namespace with the given veth links, their peers in a second namespace.
::testing::AssertionResult BuildHost(NetnsLab& lab, const std::vector<Link>& links,
                                     std::string& host) {
    host = lab.Add("host");
    const std::string peer = lab.Add("peer");
    if (host.empty() || peer.empty())
        return ::testing::AssertionFailure() << lab.Error();
    int index = 0;
    for (const Link& link : links) {
        const std::string peerName = "p" + std::to_string(index++);
        bool ok = lab.Ip(host, {"link", "add", link.name, "type", "veth", "peer", "name", peerName,
                                "netns", peer}) &&
                  lab.Ip(host, {"link", "set", link.name, "up"});
        for (const auto& address : link.addresses)
            ok = ok && lab.Ip(host, {"addr", "add", address, "dev", link.name});
        if (link.peerUp)
            ok = ok && lab.Ip(peer, {"link", "set", peerName, "up"});
        if (!link.gateway.empty())
            ok = ok && lab.Ip(host, {"route", "add", "default", "via", link.gateway});
        if (!ok)
            return ::testing::AssertionFailure() << lab.Error();
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ServiceNetnsTest, LocalAddressesPutRoutedInterfacesFirst) {
    struct Case {
        const char* name;
        std::vector<Link> links;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"default route on the second interface",
         {{"lan0", {"192.168.50.2/24", "10.50.0.2/16"}, true, ""},
          {"wan0", {"192.168.60.2/24"}, true, "192.168.60.1"},
          {"lnk0", {"169.254.9.9/16"}, true, ""},
          {"dead0", {"192.168.70.2/24"}, false, ""}},
         {"192.168.60.2", "192.168.50.2", "10.50.0.2"}},
        {"no gateway anywhere", {{"solo0", {"192.168.80.2/24"}, true, ""}}, {"192.168.80.2"}},
        {"only link-local", {{"lnk0", {"169.254.1.1/16"}, true, ""}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetnsLab lab;
        std::string host;
        ASSERT_TRUE(BuildHost(lab, c.links, host));
        const ScopedNetns inHost{host};
        ASSERT_TRUE(inHost.Entered());
        // Links report "running" once the kernel has seen both ends up.
        std::vector<std::string> listed;
        WaitUntil([&] { return (listed = LocalIPv4Addresses()) == c.expected; }, kSettleLimit);
        EXPECT_EQ(listed, c.expected);

        // The running service lists the same.
        CorvaneService& service = MakeService(false);
        ASSERT_TRUE(service.ApplyConfig(BaseConfig(FreeLoopbackPort())));
        ASSERT_EQ(service.Start(), 0);
        EXPECT_EQ(service.GetStatus().localAddresses, c.expected);
        service.Stop();
    }
}

// ---------------------------------------------------------------------------
// Port forwarding against the scripted responder: LAN 192.168.88.0/24,
// responder at .1, the service's namespace at .2.

TEST_F(ServiceNetnsTest, WorkerPublishesEachOutcomeAndUnmapsOnStop) {
    struct Case {
        const char* replies;
        UpnpState state;
        std::int32_t upnpError;
        std::string externalAddress;
        IPv4Class externalClass;
        bool unmaps;
    };
    const std::vector<Case> cases = {
        {"ok", UpnpState::Mapped, 0, "11.22.33.44", IPv4Class::Public, true},
        {"718", UpnpState::Conflict, 718, "", IPv4Class::Invalid, false},
        {"606", UpnpState::Refused, 606, "", IPv4Class::Invalid, false},
        {"nocode", UpnpState::Failed, 0, "", IPv4Class::Invalid, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replies);
        ResponderLab router;
        ASSERT_TRUE(router.Start(c.replies));
        const ScopedNetns inClient{router.client};
        ASSERT_TRUE(inClient.Entered());

        OutsideReports reports;
        Config config;
        CorvaneService& service = StartForwarding(reports, config);
        ASSERT_TRUE(reports.WaitFor(1));

        ServiceStatus status = service.GetStatus();
        EXPECT_EQ(status.upnpState, static_cast<std::int32_t>(c.state));
        EXPECT_EQ(status.upnpError, c.upnpError);
        EXPECT_EQ(status.externalAddress, c.externalAddress);
        EXPECT_EQ(status.externalClass, static_cast<std::int32_t>(c.externalClass));
        EXPECT_EQ(router.Count("NewExternalPort=" + std::to_string(config.port) + " "), 1u);

        service.Stop();
        status = service.GetStatus();
        EXPECT_EQ(status.upnpState, static_cast<std::int32_t>(UpnpState::Off));
        EXPECT_EQ(status.externalAddress, "");
        EXPECT_EQ(status.externalClass, static_cast<std::int32_t>(IPv4Class::Invalid));
        // Destroying the service waits for the worker to remove its mapping.
        MakeService(true);
        EXPECT_EQ(router.Count("DeletePortMapping"), c.unmaps ? 1u : 0u);
    }
}

TEST_F(ServiceNetnsTest, StopDuringASlowRouterIgnoresTheLateResult) {
    ResponderLab router;
    // The first mapping request hangs; later ones succeed.
    ASSERT_TRUE(router.Start("slow"));
    const ScopedNetns inClient{router.client};
    ASSERT_TRUE(inClient.Entered());

    OutsideReports reports;
    Config config;
    CorvaneService& service = StartForwarding(reports, config);
    ASSERT_TRUE(WaitUntil([&] { return router.Count("AddPortMapping") == 1; }, kRouterLimit));
    EXPECT_EQ(service.GetStatus().upnpState, static_cast<std::int32_t>(UpnpState::Working));

    // The router has not answered; Stop does not wait for it.
    service.Stop();
    EXPECT_FALSE(service.IsRunning());
    EXPECT_EQ(service.GetStatus().upnpState, static_cast<std::int32_t>(UpnpState::Off));

    // The abandoned attempt ends, and its outcome is not published.
    ASSERT_TRUE(reports.WaitFor(1));
    ServiceStatus status = service.GetStatus();
    EXPECT_EQ(status.upnpState, static_cast<std::int32_t>(UpnpState::Off));
    EXPECT_EQ(status.externalAddress, "");

    // A new run gets its own worker, which maps once the old one is gone.
    ASSERT_EQ(service.Start(), 0);
    ASSERT_TRUE(reports.WaitFor(2));
    status = service.GetStatus();
    EXPECT_EQ(status.upnpState, static_cast<std::int32_t>(UpnpState::Mapped));
    EXPECT_EQ(status.externalAddress, "11.22.33.44");
    EXPECT_EQ(router.Count("AddPortMapping"), 2u);
    MakeService(true);
    EXPECT_EQ(router.Count("DeletePortMapping"), 1u);
}

TEST_F(ServiceNetnsTest, PortChangeMovesTheMapping) {
    ResponderLab router;
    ASSERT_TRUE(router.Start("ok,ok"));
    const ScopedNetns inClient{router.client};
    ASSERT_TRUE(inClient.Entered());

    OutsideReports reports;
    Config config;
    CorvaneService& service = StartForwarding(reports, config);
    ASSERT_TRUE(reports.WaitFor(1));

    Config moved = config;
    moved.port = FreeLoopbackPort();
    ASSERT_TRUE(service.ApplyConfig(moved));
    ASSERT_TRUE(reports.WaitFor(2));
    const ServiceStatus status = service.GetStatus();
    EXPECT_EQ(status.port, moved.port);
    EXPECT_EQ(status.upnpState, static_cast<std::int32_t>(UpnpState::Mapped));
    // The old worker removed its mapping before the new one asked for the new port.
    const std::string requests = router.Requests();
    const auto removed = requests.find("DeletePortMapping");
    const auto added = requests.find("NewExternalPort=" + std::to_string(moved.port) + " ");
    ASSERT_NE(removed, std::string::npos) << requests;
    ASSERT_NE(added, std::string::npos) << requests;
    EXPECT_LT(removed, added) << requests;
}

// Listening on 127.0.0.1 only, there is nothing to forward: with port
// forwarding switched on, the router never hears from the service (not even
// a search), while the same run on every address asks it at once.
TEST_F(ServiceNetnsTest, ALoopbackOnlyRunNeverAsksTheRouter) {
    ResponderLab router;
    ASSERT_TRUE(router.Start("ok"));
    const ScopedNetns inClient{router.client};
    ASSERT_TRUE(inClient.Entered());

    Config config = BaseConfig(FreeLoopbackPort());
    config.upnp = true;
    {
        CorvaneService& service = MakeService(true);
        ASSERT_TRUE(service.ApplyConfig(config));
        ASSERT_EQ(service.Start(), 0);
        // Longer than a forwarding run takes to search and map here.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        EXPECT_EQ(service.GetStatus().upnpState, static_cast<std::int32_t>(UpnpState::Off));
        service.Stop();
    }
    MakeService(true);
    EXPECT_EQ(router.Searches(), 0u);
    EXPECT_EQ(router.Requests(), "");

    OutsideReports reports;
    CorvaneService& everywhere = StartForwarding(reports, config);
    ASSERT_TRUE(reports.WaitFor(1));
    EXPECT_EQ(everywhere.GetStatus().upnpState, static_cast<std::int32_t>(UpnpState::Mapped));
    EXPECT_GE(router.Searches(), 1u);
}

} // namespace
} // namespace Velto::Corvane::Testing
