#pragma once

#include "config/config.h"
#include "service/corvane_service.h"
#include "tests/support/temp_home.h"
#include "webapp/embedded_assets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace Velto::Corvane::Testing {

// A port that was free a moment ago (bound to 127.0.0.1 and released).
std::uint16_t FreeLoopbackPort();

// A listening socket on 127.0.0.1 that keeps a port taken.
class PortBlocker {
public:
    PortBlocker();
    std::uint16_t Port() const { return m_port; }

private:
    std::uint16_t m_port{0}; // before m_socket: filled while m_socket is made
    UniqueFd m_socket;
};

// A service over a temporary home: config.json, logs and the certificate
// store in their own folders, one shared folder with a file in it.
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { m_service.reset(); }

    // Makes the service (once per test) with the given loopback choice.
    CorvaneService& MakeService(bool loopbackOnly = true);
    CorvaneService& Service() { return *m_service; }

    // Upnp off, the given port, one guest share "docs" over Files().
    Config BaseConfig(std::uint16_t port) const;
    ServiceOptions Options(bool loopbackOnly) const;
    const std::filesystem::path& Files() const { return m_files; }
    std::string ConfigPath() const { return m_home->root + "/config/VeltoCorvane/config.json"; }
    std::string StoreFolder() const { return m_home->root + "/data/VeltoCorvane"; }

    Config SavedConfig() const;

private:
    std::unique_ptr<TempHome> m_home;
    std::filesystem::path m_files;
    EmbeddedAssets m_assets;
    std::unique_ptr<CorvaneService> m_service;
};

} // namespace Velto::Corvane::Testing
