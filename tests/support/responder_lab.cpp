#include "tests/support/responder_lab.h"

#include <fstream>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

constexpr int kStartLimitMs = 15000;
constexpr const char* kLocation = "http://192.168.88.1:5000/good.xml";

std::string PeerScript() {
    return std::string{VELTO_PEERS_DIR} + "/upnp_responder.py";
}

} // namespace

::testing::AssertionResult ResponderLab::Start(const std::string& addReplies) {
    gateway = lab.Add("resp");
    client = lab.Add("cli");
    const bool built =
        !gateway.empty() && !client.empty() &&
        lab.Ip(gateway,
               {"link", "add", "eth0", "type", "veth", "peer", "name", "eth0", "netns", client}) &&
        lab.Ip(gateway, {"addr", "add", std::string{kResponderLan} + "/24", "dev", "eth0"}) &&
        lab.Ip(client, {"addr", "add", std::string{kClientAddress} + "/24", "dev", "eth0"}) &&
        lab.Ip(gateway, {"link", "set", "eth0", "up"}) &&
        lab.Ip(client, {"link", "set", "eth0", "up"}) &&
        lab.Ip(client, {"route", "add", "default", "via", kResponderLan});
    if (!built)
        return ::testing::AssertionFailure() << lab.Error();
    log = lab.Folder() + "/requests.log";
    searchLog = lab.Folder() + "/searches.log";
    responder = Velto::Testing::ChildProcess{
        lab.ExecArgv(gateway, {"python3", PeerScript(), "--address", kResponderLan, "--http-port",
                               "5000", "--log", log, "--search-log", searchLog, "--location",
                               kLocation, "--add-replies", addReplies})};
    if (!responder.WaitForOutput("ready", std::chrono::milliseconds(kStartLimitMs)))
        return ::testing::AssertionFailure() << "the responder did not start";
    return ::testing::AssertionSuccess();
}

std::string ResponderLab::Requests() const {
    std::ifstream in{log, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

std::size_t ResponderLab::Searches() const {
    std::ifstream in{searchLog, std::ios::binary};
    std::size_t count = 0;
    for (std::string line; std::getline(in, line);)
        ++count;
    return count;
}

std::size_t ResponderLab::Count(std::string_view needle) const {
    std::size_t count = 0;
    std::istringstream in{Requests()};
    for (std::string line; std::getline(in, line);)
        count += line.find(needle) != std::string::npos ? 1 : 0;
    return count;
}

} // namespace Velto::Corvane::Testing
