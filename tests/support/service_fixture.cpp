#include "tests/support/service_fixture.h"

#include "config/config_file.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>

namespace Velto::Corvane::Testing {
namespace {

UniqueFd BindLoopback(std::uint16_t& port) {
    UniqueFd socket{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!socket || ::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(socket.Get(), 4) != 0 ||
        ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot bind a loopback port";
        return {};
    }
    port = ntohs(address.sin_port);
    return socket;
}

} // namespace

std::uint16_t FreeLoopbackPort() {
    std::uint16_t port = 0;
    BindLoopback(port);
    return port;
}

PortBlocker::PortBlocker() : m_socket(BindLoopback(m_port)) {}

void ServiceFixture::SetUp() {
    m_home = std::make_unique<TempHome>();
    m_files = std::filesystem::path{m_home->root} / "files";
    std::filesystem::create_directories(m_files);
    std::ofstream{m_files / "hello.txt"} << "hello";
}

ServiceOptions ServiceFixture::Options(bool loopbackOnly) const {
    ServiceOptions options;
    options.configPath = ConfigPath();
    options.logsFolder = m_home->root + "/state/VeltoCorvane/logs";
    options.uploadsFolder = m_home->root + "/state/VeltoCorvane/uploads";
    options.loopbackOnly = loopbackOnly;
    options.keyNamePrefix = u"VeltoCorvaneCheck-";
    options.certificateSubject = u"CN=VeltoCorvane Check";
    options.certificateFriendlyName = u"VeltoCorvane Check";
    options.certificateStoreFolder = StoreFolder();
    return options;
}

CorvaneService& ServiceFixture::MakeService(bool loopbackOnly) {
    m_service = std::make_unique<CorvaneService>(Options(loopbackOnly), m_assets);
    return *m_service;
}

Config ServiceFixture::BaseConfig(std::uint16_t port) const {
    Config config;
    config.port = port;
    config.upnp = false;
    Share share;
    share.id = "0123456789abcdef";
    share.name = u"docs";
    share.path = m_files.u16string();
    config.shares.push_back(share);
    return config;
}

Config ServiceFixture::SavedConfig() const {
    Config config;
    EXPECT_TRUE(LoadConfig(ConfigPath(), config));
    return config;
}

} // namespace Velto::Corvane::Testing
