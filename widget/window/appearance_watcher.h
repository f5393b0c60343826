#pragma once

#include <atomic>
#include <functional>
#include <string_view>
#include <thread>

namespace Velto::Widget {

// Listens on the session bus, on a thread of its own, for the desktop
// portal's SettingChanged signal about the appearance (colour scheme,
// accent, contrast) and calls `changed` on that thread for each. Nothing
// happens without a session bus; the thread then just ends.
class AppearanceWatcher {
public:
    explicit AppearanceWatcher(std::function<void()> changed);
    ~AppearanceWatcher();
    AppearanceWatcher(const AppearanceWatcher&) = delete;
    AppearanceWatcher& operator=(const AppearanceWatcher&) = delete;

    // Connects and starts listening; false when already started or the
    // stop signal could not be made.
    bool Start();
    // True once the match is installed on the bus (a signal sent from then
    // on is seen).
    bool IsListening() const;

    // Whether a SettingChanged of this namespace and key changes the theme.
    static bool ChangesTheme(std::string_view settingNamespace, std::string_view key);

private:
    void Run();

    std::function<void()> m_changed;
    int m_stopFd{-1};
    std::thread m_thread;
    std::atomic<bool> m_listening{false};
};

} // namespace Velto::Widget
