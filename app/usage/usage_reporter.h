#pragma once

#include "app/usage/usage_options.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace App {

inline constexpr std::size_t kMaxQueuedUsageEvents = 200;
inline constexpr std::size_t kUsageBatchSize = 25;
inline constexpr std::chrono::milliseconds kUsageCollectionWindow{10000};
inline constexpr const char* kNoUsageStatsVariable = "VELTO_SDK_NO_USAGE_STATS";

// Anonymous usage reports: one "app_start" per run and one "feature_use" per
// reported feature, collected in a bounded queue and posted in batches from a
// thread of its own. Nothing here blocks or fails the caller: reports that
// cannot be delivered are dropped. The sender keeps its state alive by
// itself, so the reporter may go away while a post is still under way.
class UsageReporter {
public:
    // `endpoint` is the collection service's scheme and host (and port), to
    // which the collection path is appended. The sender posts when a batch is
    // full, when stopping, and otherwise after `collectionWindow`.
    explicit UsageReporter(std::string endpoint,
                           std::chrono::milliseconds collectionWindow = kUsageCollectionWindow);
    // Stops without waiting; a post under way is cancelled.
    ~UsageReporter();
    UsageReporter(const UsageReporter&) = delete;
    UsageReporter& operator=(const UsageReporter&) = delete;

    // Starts reporting: the client id, this run's identity, "app_start" queued,
    // the sender started. Nothing at all (no file, no thread) when
    // VELTO_SDK_NO_USAGE_STATS exists; nothing more when already started.
    // Returns whether this call started it.
    bool Start(const UsageOptions& options);

    // Queues ("feature_use", name) unless the name is not 1 to 40 of a-z, 0-9
    // and "_", reporting is not running or is stopping, or the queue is full.
    void ReportFeature(std::string_view name);

    // Lets the sender post what is queued and end, waiting at most `wait` for
    // it. Returns whether it finished; one still busy is cancelled and left
    // to end on its own. Reports after this are dropped.
    bool Stop(std::chrono::milliseconds wait);

    bool IsRunning() const;
    // Whether the sender has ended (after a Stop, or a cancelled last post).
    bool HasFinished() const;

private:
    struct State;
    static void RunSender(const std::shared_ptr<State>& state);

    const std::string m_endpoint;
    const std::chrono::milliseconds m_collectionWindow;
    // Serialises Start against itself and guards m_state's creation.
    mutable std::mutex m_startLock;
    std::shared_ptr<State> m_state;
};

} // namespace App
