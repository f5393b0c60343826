// Port mapping against real gateways inside network namespaces made by the
// test: miniupnpd as the router, and a scripted responder for the cases a
// well-behaved router never produces. Needs root for the namespaces.

#include "reach/upnp_client.h"
#include "tests/support/netns_lab.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <stop_token>
#include <thread>
#include <unistd.h>

namespace Velto::Corvane {
namespace {

using Testing::NetnsLab;
using Testing::ScopedNetns;
using Velto::Testing::ChildOptions;
using Velto::Testing::ChildProcess;

constexpr int kStartLimitMs = 15000;
constexpr const char* kDescription = "VeltoCorvane";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in{text};
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> LinesContaining(const std::string& text, std::string_view needle) {
    std::vector<std::string> found;
    for (auto& line : Lines(text)) {
        if (line.find(needle) != std::string::npos)
            found.push_back(std::move(line));
    }
    return found;
}

bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out{path, std::ios::binary | std::ios::trunc};
    out << content;
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

// ---------------------------------------------------------------------------
// miniupnpd: LAN 192.168.77.0/24 on a bridge in the gateway namespace with two
// client namespaces; the WAN side has a public-looking address that nothing
// ever sends to.

constexpr const char* kGatewayLan = "192.168.77.1";
constexpr const char* kClientA = "192.168.77.2";
constexpr const char* kClientB = "192.168.77.3";
constexpr const char* kGatewayWan = "11.22.33.44";
constexpr std::uint16_t kMiniupnpdPort = 5000;
constexpr const char* kRootDesc = "http://192.168.77.1:5000/rootDesc.xml";

constexpr const char* kGatewayTables = R"(table inet filter {
  chain forward {
    type filter hook forward priority 0; policy drop;
    jump miniupnpd
  }
  chain miniupnpd {
  }
  chain prerouting {
    type nat hook prerouting priority -100; policy accept;
    jump prerouting_miniupnpd
  }
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    jump postrouting_miniupnpd
  }
  chain prerouting_miniupnpd {
  }
  chain postrouting_miniupnpd {
  }
}
)";

class GatewayLab {
public:
    bool Build() {
        gw = lab.Add("gw");
        a = lab.Add("a");
        b = lab.Add("b");
        isp = lab.Add("isp");
        if (gw.empty() || a.empty() || b.empty() || isp.empty())
            return false;
        const bool linked =
            lab.Ip(gw, {"link", "add", "br0", "type", "bridge"}) &&
            lab.Ip(gw,
                   {"link", "add", "lana", "type", "veth", "peer", "name", "eth0", "netns", a}) &&
            lab.Ip(gw,
                   {"link", "add", "lanb", "type", "veth", "peer", "name", "eth0", "netns", b}) &&
            lab.Ip(gw,
                   {"link", "add", "wan", "type", "veth", "peer", "name", "eth0", "netns", isp}) &&
            lab.Ip(gw, {"link", "set", "lana", "master", "br0"}) &&
            lab.Ip(gw, {"link", "set", "lanb", "master", "br0"}) &&
            lab.Ip(gw, {"addr", "add", std::string{kGatewayLan} + "/24", "dev", "br0"}) &&
            lab.Ip(gw, {"addr", "add", std::string{kGatewayWan} + "/24", "dev", "wan"}) &&
            lab.Ip(isp, {"addr", "add", "11.22.33.1/24", "dev", "eth0"}) &&
            lab.Ip(a, {"addr", "add", std::string{kClientA} + "/24", "dev", "eth0"}) &&
            lab.Ip(b, {"addr", "add", std::string{kClientB} + "/24", "dev", "eth0"});
        if (!linked)
            return false;
        for (const char* dev : {"br0", "lana", "lanb", "wan"}) {
            if (!lab.Ip(gw, {"link", "set", dev, "up"}))
                return false;
        }
        for (const auto& ns : {a, b, isp}) {
            if (!lab.Ip(ns, {"link", "set", "eth0", "up"}))
                return false;
        }
        if (!lab.Ip(gw, {"route", "add", "default", "via", "11.22.33.1"}) ||
            !lab.Ip(a, {"route", "add", "default", "via", kGatewayLan}) ||
            !lab.Ip(b, {"route", "add", "default", "via", kGatewayLan}))
            return false;

        const std::string tables = lab.Folder() + "/tables.nft";
        const std::string conf = lab.Folder() + "/miniupnpd.conf";
        if (!WriteFile(tables, kGatewayTables) ||
            !WriteFile(conf, "ext_ifname=wan\nlistening_ip=br0\nport=5000\nenable_natpmp=no\n"
                             "enable_upnp=yes\nsecure_mode=yes\nsystem_uptime=yes\n"
                             "uuid=3d3cec3a-8cf0-11e0-98ee-001a6bd2d07b\n"
                             "allow 1024-65535 192.168.77.0/24 1024-65535\n"
                             "deny 0-65535 0.0.0.0/0 0-65535\n")) {
            error = "cannot write the gateway configuration";
            return false;
        }
        if (const auto nft = lab.Exec(gw, {"nft", "-f", tables}); nft.exitCode != 0) {
            error = "nft: " + nft.output;
            return false;
        }
        miniupnpdLog = lab.Folder() + "/miniupnpd.log";
        miniupnpd = ChildProcess{lab.ExecArgv(gw, {"miniupnpd", "-f", conf, "-d", "-P",
                                                   lab.Folder() + "/miniupnpd.pid"}),
                                 {.output = ChildOptions::Stream::File,
                                  .outputFile = miniupnpdLog,
                                  .appendOutput = true}};
        const ScopedNetns inA{a};
        if (!miniupnpd.Started() || !inA.Entered() ||
            !Testing::WaitForTcpListener(kGatewayLan, kMiniupnpdPort, kStartLimitMs)) {
            error = "miniupnpd did not start: " + ReadFile(miniupnpdLog);
            return false;
        }
        return true;
    }

    std::string Error() const { return error.empty() ? lab.Error() : error; }

    // `upnpc -l` run from a client namespace, straight at the known description.
    std::string ListMappings(const std::string& ns) {
        return lab.Exec(ns, {"upnpc", "-u", kRootDesc, "-l"}).output;
    }

    NetnsLab lab;
    std::string gw, a, b, isp;
    std::string miniupnpdLog;
    ChildProcess miniupnpd;
    std::string error;
};

class MiniupnpdTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (::geteuid() != 0) {
            s_skipReason = "needs root to create network namespaces";
            return;
        }
        s_lab = std::make_unique<GatewayLab>();
        if (!s_lab->Build())
            s_setupError = s_lab->Error();
    }
    static void TearDownTestSuite() { s_lab.reset(); }

    void SetUp() override {
        if (!s_skipReason.empty())
            GTEST_SKIP() << s_skipReason;
        ASSERT_TRUE(s_setupError.empty()) << s_setupError;
    }
    void TearDown() override {
        if (HasFailure() && s_lab)
            std::cerr << "miniupnpd log:\n" << ReadFile(s_lab->miniupnpdLog) << "\n";
    }

    static inline std::unique_ptr<GatewayLab> s_lab;
    static inline std::string s_skipReason;
    static inline std::string s_setupError;
};

TEST_F(MiniupnpdTest, DiscoversMapsRenewsAndRemoves) {
    constexpr std::uint16_t port = 18080;
    const std::string entry = "18080->192.168.77.2:18080";
    const ScopedNetns inA{s_lab->a};
    ASSERT_TRUE(inA.Entered());

    UpnpClient client;
    const UpnpMapResult mapped = client.MapPort(port, kDescription);
    EXPECT_EQ(mapped.status, UpnpMapResult::Mapped);
    EXPECT_EQ(mapped.upnpError, 0);
    EXPECT_EQ(mapped.localAddress, kClientA);
    EXPECT_EQ(mapped.externalAddress, std::optional<std::string>{kGatewayWan});
    EXPECT_EQ(client.Service().controlUrl, "http://192.168.77.1:5000/ctl/IPConn");
    EXPECT_TRUE(
        client.Service().serviceType.starts_with("urn:schemas-upnp-org:service:WANIPConnection:"));
    EXPECT_EQ(client.MappedPort(), port);

    // upnpc lists: index protocol ext->int:port 'description' 'remoteHost' leaseTime
    auto listed = LinesContaining(s_lab->ListMappings(s_lab->a), entry);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_NE(listed[0].find("'VeltoCorvane'"), std::string::npos) << listed[0];
    const long lease = std::stol(listed[0].substr(listed[0].find_last_of(' ') + 1));
    EXPECT_GT(lease, 0) << listed[0];
    EXPECT_LE(lease, 3600) << listed[0];

    // A renewal repeats the mapping with the gateway already known.
    const UpnpMapResult renewed = client.MapPort(port, kDescription);
    EXPECT_EQ(renewed.status, UpnpMapResult::Mapped);
    EXPECT_EQ(renewed.externalAddress, std::optional<std::string>{kGatewayWan});
    EXPECT_EQ(LinesContaining(s_lab->ListMappings(s_lab->a), entry).size(), 1u);

    client.Unmap();
    EXPECT_EQ(client.MappedPort(), 0);
    EXPECT_TRUE(LinesContaining(s_lab->ListMappings(s_lab->a), "18080->").empty());
}

TEST_F(MiniupnpdTest, PortTakenByAnotherClientIsAConflict) {
    constexpr std::uint16_t port = 18081;
    const auto other = s_lab->lab.Exec(s_lab->b, {"upnpc", "-u", kRootDesc, "-e", "Other", "-a",
                                                  kClientB, "18081", "18081", "TCP"});
    ASSERT_EQ(other.exitCode, 0) << other.output;
    ASSERT_EQ(LinesContaining(s_lab->ListMappings(s_lab->b), "18081->192.168.77.3:18081").size(),
              1u);

    const ScopedNetns inA{s_lab->a};
    ASSERT_TRUE(inA.Entered());
    UpnpClient client;
    const UpnpMapResult result = client.MapPort(port, kDescription);
    EXPECT_EQ(result.status, UpnpMapResult::Conflict);
    EXPECT_EQ(result.upnpError, 718);
    EXPECT_EQ(result.localAddress, kClientA);
    EXPECT_FALSE(result.externalAddress);
    EXPECT_EQ(client.MappedPort(), 0);

    // Nothing was mapped, so removing leaves the other client's mapping alone.
    client.Unmap();
    EXPECT_EQ(LinesContaining(s_lab->ListMappings(s_lab->b), "18081->192.168.77.3:18081").size(),
              1u);
}

// ---------------------------------------------------------------------------
// The scripted responder: LAN 192.168.88.0/24, responder at .1 with two more
// addresses that must never be contacted (another LAN host .3 and a public
// address), client at .2. Every case gets a pair of namespaces of its own, so
// the cases of a table run side by side instead of waiting out one search
// after another.

constexpr const char* kResponderLan = "192.168.88.1";
constexpr const char* kResponderClient = "192.168.88.2";
constexpr std::uint16_t kResponderPort = 5000;

std::string PeerScript() {
    return std::string{VELTO_PEERS_DIR} + "/upnp_responder.py";
}

class ResponderPair {
public:
    ::testing::AssertionResult Build() {
        gw = lab.Add("resp");
        client = lab.Add("cli");
        const bool built =
            !gw.empty() && !client.empty() &&
            lab.Ip(gw, {"link", "add", "eth0", "type", "veth", "peer", "name", "eth0", "netns",
                        client}) &&
            lab.Ip(gw, {"addr", "add", std::string{kResponderLan} + "/24", "dev", "eth0"}) &&
            lab.Ip(gw, {"addr", "add", "192.168.88.3/32", "dev", "lo"}) &&
            lab.Ip(gw, {"addr", "add", "11.22.33.44/32", "dev", "lo"}) &&
            lab.Ip(client, {"addr", "add", std::string{kResponderClient} + "/24", "dev", "eth0"}) &&
            lab.Ip(gw, {"link", "set", "eth0", "up"}) &&
            lab.Ip(client, {"link", "set", "eth0", "up"}) &&
            lab.Ip(client, {"route", "add", "default", "via", kResponderLan});
        if (!built)
            return ::testing::AssertionFailure() << lab.Error();
        return ::testing::AssertionSuccess();
    }

    // Starts the responder with the given options, replacing any earlier one,
    // with a fresh request log. Call from the test's main thread: the
    // responder is tied to the thread that starts it.
    ::testing::AssertionResult Start(const std::vector<std::string>& options,
                                     std::uint16_t port = kResponderPort) {
        responder.Stop();
        log = lab.Folder() + "/requests-" + std::to_string(++m_starts) + ".log";
        std::vector<std::string> argv{
            "python3",     PeerScript(),         "--address", kResponderLan,
            "--http-port", std::to_string(port), "--log",     log};
        argv.insert(argv.end(), options.begin(), options.end());
        responder = ChildProcess{lab.ExecArgv(gw, argv)};
        if (!responder.WaitForOutput("ready", std::chrono::milliseconds(kStartLimitMs)))
            return ::testing::AssertionFailure() << "the responder did not start";
        return ::testing::AssertionSuccess();
    }

    std::vector<std::string> Requests() const { return Lines(ReadFile(log)); }

    NetnsLab lab;
    std::string gw, client;
    ChildProcess responder;
    std::string log;

private:
    int m_starts{0};
};

// Runs `fn(i)` for every pair at once, each on a thread inside that pair's
// client namespace.
template <typename Fn>
void InEachClient(const std::vector<std::unique_ptr<ResponderPair>>& pairs, Fn fn) {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        threads.emplace_back([&, i] {
            const ScopedNetns inClient{pairs[i]->client};
            if (inClient.Entered())
                fn(i);
        });
    }
    for (auto& thread : threads)
        thread.join();
}

class ResponderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to create network namespaces";
    }

    // One pair per case, each with its responder started with `options[i]`.
    static std::vector<std::unique_ptr<ResponderPair>>
    StartPairs(const std::vector<std::vector<std::string>>& options) {
        std::vector<std::unique_ptr<ResponderPair>> pairs;
        for (const auto& caseOptions : options) {
            SCOPED_TRACE(::testing::Message() << "responder of case #" << pairs.size());
            auto pair = std::make_unique<ResponderPair>();
            EXPECT_TRUE(pair->Build());
            EXPECT_TRUE(pair->Start(caseOptions));
            pairs.push_back(std::move(pair));
        }
        return pairs;
    }
};

TEST_F(ResponderTest, DiscoveryContactsOnlyUsableLocalGateways) {
    const std::string good = "http://192.168.88.1:5000/good.xml";
    const std::string publicHost = "http://11.22.33.44:5000/good.xml";
    const std::string namedHost = "http://router.invalid:5000/good.xml";
    const std::string https = "https://192.168.88.1:5000/good.xml";
    const std::string otherControlHost = "http://192.168.88.1:5000/otherhost.xml";
    const std::string atLimit = "http://192.168.88.1:5000/pad-262144.xml";
    const std::string overLimit = "http://192.168.88.1:5000/pad-262145.xml";
    struct Case {
        const char* name;
        std::vector<std::string> locations;
        bool found;
        std::string controlUrl;
        std::vector<std::string> requests; // exactly these, in order
    };
    const std::vector<Case> cases = {
        {"nobody answers", {}, false, "", {}},
        {"public address", {publicHost}, false, "", {}},
        {"host name", {namedHost}, false, "", {}},
        {"https", {https}, false, "", {}},
        {"control URL on another host",
         {otherControlHost},
         false,
         "",
         {"192.168.88.1 GET /otherhost.xml - hdr=-"}},
        {"description over 256 KiB",
         {overLimit},
         false,
         "",
         {"192.168.88.1 GET /pad-262145.xml - hdr=-"}},
        {"description of exactly 256 KiB",
         {atLimit},
         true,
         "http://192.168.88.1:5000/ctl",
         {"192.168.88.1 GET /pad-262144.xml - hdr=-"}},
        {"unusable ones first",
         {publicHost, https, namedHost, otherControlHost, good},
         true,
         "http://192.168.88.1:5000/ctl",
         {"192.168.88.1 GET /otherhost.xml - hdr=-", "192.168.88.1 GET /good.xml - hdr=-"}},
    };
    std::vector<std::vector<std::string>> options;
    for (const auto& c : cases) {
        auto& caseOptions = options.emplace_back();
        for (const auto& location : c.locations) {
            caseOptions.push_back("--location");
            caseOptions.push_back(location);
        }
    }
    const auto pairs = StartPairs(options);
    ASSERT_FALSE(HasFailure());

    struct Outcome {
        bool discovered{};
        bool known{};
        std::string controlUrl;
        std::string localAddress;
    };
    std::vector<Outcome> outcomes(cases.size());
    InEachClient(pairs, [&](std::size_t i) {
        UpnpClient client;
        outcomes[i] = {client.Discover(), client.GatewayKnown(), client.Service().controlUrl,
                       client.LocalAddress()};
    });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outcomes[i].discovered, c.found);
        EXPECT_EQ(outcomes[i].known, c.found);
        EXPECT_EQ(outcomes[i].controlUrl, c.controlUrl);
        EXPECT_EQ(outcomes[i].localAddress, c.found ? kResponderClient : "");
        EXPECT_EQ(pairs[i]->Requests(), c.requests);
    }
}

TEST_F(ResponderTest, MapPortOutcomes) {
    const std::string add = "192.168.88.1 POST /ctl AddPortMapping hdr=ok NewRemoteHost= "
                            "NewExternalPort=8080 NewProtocol=TCP NewInternalPort=8080 "
                            "NewInternalClient=192.168.88.2 NewEnabled=1 "
                            "NewPortMappingDescription=VeltoCorvane NewLeaseDuration=";
    const std::string external = "192.168.88.1 POST /ctl GetExternalIPAddress hdr=ok";
    struct Case {
        const char* name;
        std::string replies;
        std::string externalIp;
        std::int32_t status;
        std::int32_t upnpError;
        std::optional<std::string> externalAddress;
        std::vector<std::string> soap; // the SOAP requests, in order
    };
    const std::vector<Case> cases = {
        {"mapped",
         "ok",
         "11.22.33.44",
         UpnpMapResult::Mapped,
         0,
         "11.22.33.44",
         {add + "3600", external}},
        {"permanent leases only",
         "725",
         "100.64.1.2",
         UpnpMapResult::Mapped,
         0,
         "100.64.1.2",
         {add + "3600", add + "0", external}},
        {"permanent lease refused too",
         "725,725",
         "11.22.33.44",
         UpnpMapResult::Refused,
         725,
         std::nullopt,
         {add + "3600", add + "0"}},
        {"conflict",
         "718",
         "11.22.33.44",
         UpnpMapResult::Conflict,
         718,
         std::nullopt,
         {add + "3600"}},
        {"refused",
         "606",
         "11.22.33.44",
         UpnpMapResult::Refused,
         606,
         std::nullopt,
         {add + "3600"}},
        {"fault without a code",
         "nocode",
         "11.22.33.44",
         UpnpMapResult::CommunicationFailure,
         0,
         std::nullopt,
         {add + "3600"}},
        {"reply over 256 KiB",
         "big",
         "11.22.33.44",
         UpnpMapResult::CommunicationFailure,
         0,
         std::nullopt,
         {add + "3600"}},
        {"private external address",
         "ok",
         "192.168.1.20",
         UpnpMapResult::Mapped,
         0,
         "192.168.1.20",
         {add + "3600", external}},
        {"invalid external address dropped",
         "ok",
         "0.0.0.0",
         UpnpMapResult::Mapped,
         0,
         std::nullopt,
         {add + "3600", external}},
    };
    std::vector<std::vector<std::string>> options;
    for (const auto& c : cases) {
        options.push_back({"--location", "http://192.168.88.1:5000/good.xml", "--add-replies",
                           c.replies, "--external-ip", c.externalIp});
    }
    const auto pairs = StartPairs(options);
    ASSERT_FALSE(HasFailure());

    std::vector<UpnpMapResult> results(cases.size());
    std::vector<std::uint16_t> mappedPorts(cases.size());
    InEachClient(pairs, [&](std::size_t i) {
        UpnpClient client;
        results[i] = client.MapPort(8080, kDescription);
        mappedPorts[i] = client.MappedPort();
    });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(results[i].status, c.status);
        EXPECT_EQ(results[i].upnpError, c.upnpError);
        EXPECT_EQ(results[i].externalAddress, c.externalAddress);
        EXPECT_EQ(results[i].localAddress, kResponderClient);
        EXPECT_EQ(mappedPorts[i], c.status == UpnpMapResult::Mapped ? 8080 : 0);
        auto soap = pairs[i]->Requests();
        ASSERT_FALSE(soap.empty());
        EXPECT_EQ(soap.front(), "192.168.88.1 GET /good.xml - hdr=-");
        soap.erase(soap.begin());
        EXPECT_EQ(soap, c.soap);
    }
}

TEST_F(ResponderTest, GatewayThatMovedIsFoundAgain) {
    ResponderPair pair;
    ASSERT_TRUE(pair.Build());
    ASSERT_TRUE(pair.Start({"--location", "http://192.168.88.1:5000/good.xml"}));
    const ScopedNetns inClient{pair.client};
    ASSERT_TRUE(inClient.Entered());
    UpnpClient client;
    ASSERT_EQ(client.MapPort(8080, kDescription).status, UpnpMapResult::Mapped);

    // The router restarts on another port: the remembered control URL is dead.
    ASSERT_TRUE(pair.Start({"--location", "http://192.168.88.1:5001/good.xml"}, 5001));
    const UpnpMapResult again = client.MapPort(8080, kDescription);
    EXPECT_EQ(again.status, UpnpMapResult::Mapped);
    EXPECT_EQ(client.Service().controlUrl, "http://192.168.88.1:5001/ctl");
    const auto requests = pair.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "192.168.88.1 GET /good.xml - hdr=-");
    EXPECT_TRUE(requests[1].starts_with("192.168.88.1 POST /ctl AddPortMapping")) << requests[1];

    // Gone for good: the second attempt finds no gateway.
    pair.responder.Stop();
    const UpnpMapResult gone = client.MapPort(8080, kDescription);
    EXPECT_EQ(gone.status, UpnpMapResult::NoGateway);
    EXPECT_FALSE(client.GatewayKnown());
}

TEST_F(ResponderTest, RenewalFollowsANewLocalAddress) {
    ResponderPair pair;
    ASSERT_TRUE(pair.Build());
    ASSERT_TRUE(pair.Start({"--location", "http://192.168.88.1:5000/good.xml"}));
    const ScopedNetns inClient{pair.client};
    ASSERT_TRUE(inClient.Entered());
    UpnpClient client;
    ASSERT_EQ(client.MapPort(8080, kDescription).localAddress, kResponderClient);

    // The PC gets another address on the same network.
    ASSERT_TRUE(pair.lab.Ip(pair.client, {"addr", "del", "192.168.88.2/24", "dev", "eth0"}))
        << pair.lab.Error();
    ASSERT_TRUE(pair.lab.Ip(pair.client, {"addr", "add", "192.168.88.9/24", "dev", "eth0"}))
        << pair.lab.Error();
    ASSERT_TRUE(pair.lab.Ip(pair.client, {"route", "replace", "default", "via", kResponderLan}))
        << pair.lab.Error();
    const UpnpMapResult renewed = client.MapPort(8080, kDescription);
    EXPECT_EQ(renewed.status, UpnpMapResult::Mapped);
    EXPECT_EQ(renewed.localAddress, "192.168.88.9");
    const auto adds = LinesContaining(ReadFile(pair.log), "AddPortMapping");
    ASSERT_EQ(adds.size(), 2u);
    EXPECT_NE(adds[1].find("NewInternalClient=192.168.88.9 "), std::string::npos) << adds[1];
    EXPECT_EQ(LinesContaining(ReadFile(pair.log), "GET /good.xml").size(), 1u);
}

// Restores an environment variable when the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST_F(ResponderTest, NeitherProxiesNorRedirectsAreFollowed) {
    ResponderPair pair;
    ASSERT_TRUE(pair.Build());
    ASSERT_TRUE(pair.Start({"--location", "http://192.168.88.1:5000/redirect.xml", "--location",
                            "http://192.168.88.1:5000/good.xml"}));
    // Through a proxy (the responder itself) the request line would carry the
    // whole URL, which the log would show.
    const ScopedEnv proxy{"http_proxy", "http://192.168.88.1:5000"};
    const ScopedEnv allProxy{"ALL_PROXY", "http://192.168.88.1:5000"};
    const ScopedEnv noProxy{"no_proxy", ""};
    const ScopedNetns inClient{pair.client};
    ASSERT_TRUE(inClient.Entered());
    UpnpClient client;
    EXPECT_TRUE(client.Discover());
    EXPECT_EQ(pair.Requests(), (std::vector<std::string>{"192.168.88.1 GET /redirect.xml - hdr=-",
                                                         "192.168.88.1 GET /good.xml - hdr=-"}));
}

TEST_F(ResponderTest, StopAbandonsASlowExchangeButStillUnmaps) {
    ResponderPair pair;
    ASSERT_TRUE(pair.Build());
    // The renewal's AddPortMapping gets no answer for minutes.
    ASSERT_TRUE(pair.Start(
        {"--location", "http://192.168.88.1:5000/good.xml", "--add-replies", "ok,slow"}));
    const ScopedNetns inClient{pair.client};
    ASSERT_TRUE(inClient.Entered());
    std::stop_source stop;
    UpnpClient client{stop.get_token()};
    ASSERT_EQ(client.MapPort(8080, kDescription).status, UpnpMapResult::Mapped);

    UpnpMapResult renewal;
    std::thread worker{[&] {
        const ScopedNetns inWorker{pair.client};
        renewal = client.MapPort(8080, kDescription);
    }};
    // Stop once the request has reached the router.
    for (int i = 0; i < kStartLimitMs / 50 && pair.Requests().size() < 4; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(pair.Requests().size(), 4u);
    stop.request_stop();
    worker.join();

    // Given up, not timed out: a time-out would have searched for the gateway
    // again and mapped through the next (prompt) reply.
    EXPECT_EQ(renewal.status, UpnpMapResult::CommunicationFailure);
    EXPECT_TRUE(client.GatewayKnown());
    EXPECT_EQ(LinesContaining(ReadFile(pair.log), "GET /good.xml").size(), 1u);

    client.Unmap();
    EXPECT_EQ(client.MappedPort(), 0);
    const auto requests = pair.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), "192.168.88.1 POST /ctl DeletePortMapping hdr=ok NewRemoteHost= "
                               "NewExternalPort=8080 NewProtocol=TCP");
}

} // namespace
} // namespace Velto::Corvane
