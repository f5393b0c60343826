// Reads the desktop's appearance from a stand-in portal on a private session
// bus, and from nowhere at all.
#include "tests/support/session_bus.h"
#include "widget/render/system_theme.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace Velto::Widget {
namespace {

namespace fs = std::filesystem;

int PortalRead(sd_bus_message* m, void*, sd_bus_error* error) {
    const char* ns = nullptr;
    const char* key = nullptr;
    if (sd_bus_message_read(m, "ss", &ns, &key) < 0)
        return -EINVAL;
    if (std::strcmp(ns, "org.freedesktop.appearance") != 0)
        return sd_bus_error_set(error, "org.freedesktop.portal.Error.NotFound", "no such key");
    sd_bus_message* reply = nullptr;
    if (sd_bus_message_new_method_return(m, &reply) < 0)
        return -ENOMEM;
    if (std::strcmp(key, "color-scheme") == 0) {
        // The older portals' shape: the value in a second variant.
        sd_bus_message_open_container(reply, 'v', "v");
        sd_bus_message_append(reply, "v", "u", 1u);
        sd_bus_message_close_container(reply);
    } else if (std::strcmp(key, "accent-color") == 0) {
        sd_bus_message_append(reply, "v", "(ddd)", 0.5, 0.25, 1.0);
    } else {
        sd_bus_message_unref(reply);
        return sd_bus_error_set(error, "org.freedesktop.portal.Error.NotFound", "no such key");
    }
    const int r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r < 0 ? r : 1;
}

const sd_bus_vtable kPortalVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Read", "ss", "v", PortalRead, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

class SystemAppearanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velto-appearance-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("HOME", m_dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
        // gsettings answers its defaults without touching a real dconf.
        setenv("GSETTINGS_BACKEND", "memory", 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    void TearDown() override {
        StopPortal();
        m_bus.reset();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    // Starts a private bus; DBUS_SESSION_BUS_ADDRESS names it from then on.
    bool StartBus() {
        m_bus.emplace();
        return m_bus->Start();
    }

    bool StartPortal() {
        sd_bus* bus = nullptr;
        if (sd_bus_open_user(&bus) < 0)
            return false;
        m_portalBus = bus;
        if (sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/portal/desktop",
                                     "org.freedesktop.portal.Settings", kPortalVtable,
                                     nullptr) < 0 ||
            sd_bus_request_name(bus, "org.freedesktop.portal.Desktop", 0) < 0)
            return false;
        m_portal = std::thread([this] {
            while (!m_stop.load()) {
                if (sd_bus_process(m_portalBus, nullptr) > 0)
                    continue;
                sd_bus_wait(m_portalBus, 50'000);
            }
        });
        return true;
    }

    void StopPortal() {
        m_stop.store(true);
        if (m_portal.joinable())
            m_portal.join();
        if (m_portalBus != nullptr)
            sd_bus_flush_close_unref(m_portalBus);
        m_portalBus = nullptr;
    }

    fs::path m_dir;
    std::optional<Velto::Testing::SessionBus> m_bus;
    sd_bus* m_portalBus{nullptr};
    std::thread m_portal;
    std::atomic<bool> m_stop{false};
};

TEST_F(SystemAppearanceTest, WithoutABusEverySourceIsOptional) {
    const auto start = std::chrono::steady_clock::now();
    const SystemAppearance a = ReadSystemAppearance();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(a.portalColorScheme.has_value());
    EXPECT_FALSE(a.accent.has_value());
    EXPECT_FALSE(a.highContrast.value_or(false));
    EXPECT_EQ(SystemTheme().kind, ThemeKind::Light);
    EXPECT_FALSE(IsHighContrast());
}

TEST_F(SystemAppearanceTest, ABusWithoutAPortalGivesTheDefaults) {
    ASSERT_TRUE(StartBus());
    const SystemAppearance a = ReadSystemAppearance();
    EXPECT_FALSE(a.portalColorScheme.has_value());
    const Color accent = SystemAccent();
    EXPECT_EQ(accent, kDefaultAccent);
}

TEST_F(SystemAppearanceTest, ThePortalsColourSchemeAndAccent) {
    ASSERT_TRUE(StartBus());
    ASSERT_TRUE(StartPortal());
    // The reader gives the portal half a second; a loaded test machine may
    // miss that once, so a few attempts are allowed.
    SystemAppearance a;
    for (int attempt = 0; attempt < 5 && !a.portalColorScheme; ++attempt)
        a = ReadSystemAppearance();
    ASSERT_TRUE(a.portalColorScheme.has_value());
    EXPECT_EQ(*a.portalColorScheme, 1u);
    ASSERT_TRUE(a.accent.has_value());
    EXPECT_EQ(*a.accent, (Color{0.5f, 0.25f, 1.0f, 1.0f}));
    const Theme t = ThemeFromAppearance(a);
    EXPECT_EQ(t.kind, ThemeKind::Dark);
    EXPECT_FLOAT_EQ(t.accent.b, 1.0f);
}

} // namespace
} // namespace Velto::Widget
