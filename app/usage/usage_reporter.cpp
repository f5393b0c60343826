#include "app/usage/usage_reporter.h"

#include "app/texts/ui_language.h"
#include "app/usage/os_release.h"
#include "app/usage/usage_client_id.h"
#include "app/usage/usage_language.h"
#include "app/usage/usage_post.h"
#include "app/usage/usage_request_body.h"
#include "base/utf.h"

#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <span>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

namespace App {

// Everything the sender thread uses; it holds its own reference, so it
// outlives a reporter that is destroyed while a post is under way.
struct UsageReporter::State {
    std::string url;
    UsageIdentity identity;
    std::chrono::milliseconds collectionWindow;
    // Cancels the post under way once nobody waits for the sender any more.
    std::stop_source cancel;

    // Guards everything below.
    std::mutex lock;
    std::condition_variable wake;            // the sender: events queued or stopping
    std::condition_variable finishedChanged; // the stopper: the sender ended
    bool stopping{false};
    bool finished{false};
    std::deque<UsageEvent> queue;
};

namespace {

constexpr const char* kCollectPath = "/mp/collect?measurement_id=";
constexpr const char* kSecretParameter = "&api_secret=";

} // namespace

void UsageReporter::RunSender(const std::shared_ptr<State>& state) {
    std::unique_lock lock{state->lock};
    while (true) {
        state->wake.wait_for(lock, state->collectionWindow, [&] {
            return state->stopping || state->queue.size() >= kUsageBatchSize;
        });
        std::vector<UsageEvent> events(std::make_move_iterator(state->queue.begin()),
                                       std::make_move_iterator(state->queue.end()));
        state->queue.clear();
        const bool last = state->stopping;
        lock.unlock();

        // Posted in queue order, a batch at a time; the outcome changes nothing.
        const std::span<const UsageEvent> all{events};
        for (std::size_t first = 0; first < all.size(); first += kUsageBatchSize) {
            const auto batch = all.subspan(first, std::min(kUsageBatchSize, all.size() - first));
            (void)PostUsageBatch(state->url, UsageRequestBody(state->identity, batch),
                                 state->cancel.get_token());
        }

        lock.lock();
        if (last) {
            state->finished = true;
            state->finishedChanged.notify_all();
            return;
        }
    }
}

UsageReporter::UsageReporter(std::string endpoint, std::chrono::milliseconds collectionWindow)
    : m_endpoint(std::move(endpoint)), m_collectionWindow(collectionWindow) {}

UsageReporter::~UsageReporter() {
    const std::lock_guard start{m_startLock};
    if (!m_state)
        return;
    {
        const std::lock_guard guard{m_state->lock};
        m_state->stopping = true;
    }
    m_state->wake.notify_all();
    m_state->cancel.request_stop();
}

bool UsageReporter::Start(const UsageOptions& options) {
    if (std::getenv(kNoUsageStatsVariable) != nullptr)
        return false;
    const std::lock_guard start{m_startLock};
    if (m_state)
        return false;

    auto state = std::make_shared<State>();
    state->url = m_endpoint + kCollectPath + Velto::Utf16ToUtf8(options.measurementId) +
                 kSecretParameter + Velto::Utf16ToUtf8(options.apiSecret);
    state->collectionWindow = m_collectionWindow;
    state->identity = UsageIdentity{
        .clientId = LoadOrCreateClientId(options.clientIdFolder),
        .sessionId = std::to_string(static_cast<long long>(std::time(nullptr))),
        .program = Velto::Utf16ToUtf8(options.productName),
        .version = Velto::Utf16ToUtf8(options.version),
        .language = UsageLanguage(ReadLocaleEnvironment()),
        .osVersion = SystemOsVersion(),
    };
    state->queue.push_back(UsageEvent{.name = "app_start", .feature = {}});
    try {
        std::thread{[state] { RunSender(state); }}.detach();
    } catch (const std::system_error&) {
        return false; // without a sender there is nothing to report with
    }
    m_state = std::move(state);
    return true;
}

void UsageReporter::ReportFeature(std::string_view name) {
    if (!IsValidFeatureName(name))
        return;
    std::shared_ptr<State> state;
    {
        const std::lock_guard start{m_startLock};
        state = m_state;
    }
    if (!state)
        return;
    bool wake = false;
    {
        const std::lock_guard guard{state->lock};
        if (state->stopping || state->queue.size() >= kMaxQueuedUsageEvents)
            return;
        state->queue.push_back(UsageEvent{.name = "feature_use", .feature = std::string{name}});
        wake = state->queue.size() >= kUsageBatchSize;
    }
    if (wake)
        state->wake.notify_one();
}

bool UsageReporter::Stop(std::chrono::milliseconds wait) {
    std::shared_ptr<State> state;
    {
        const std::lock_guard start{m_startLock};
        state = m_state;
    }
    if (!state)
        return false;
    std::unique_lock lock{state->lock};
    state->stopping = true;
    state->wake.notify_all();
    const bool finished =
        state->finishedChanged.wait_for(lock, wait, [&] { return state->finished; });
    lock.unlock();
    if (!finished)
        state->cancel.request_stop(); // nobody waits for it any more
    return finished;
}

bool UsageReporter::IsRunning() const {
    const std::lock_guard start{m_startLock};
    if (!m_state)
        return false;
    const std::lock_guard guard{m_state->lock};
    return !m_state->stopping;
}

bool UsageReporter::HasFinished() const {
    const std::lock_guard start{m_startLock};
    if (!m_state)
        return false;
    const std::lock_guard guard{m_state->lock};
    return m_state->finished;
}

} // namespace App
