#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace App {

// One thread that runs the window's slow service work (start, stop, saving
// the configuration) in the order it was asked for, so that the window thread
// never waits for it and two changes never interleave: each change reads the
// configuration the previous one left. Tasks still queued when the worker is
// destroyed run before it returns.
class ServiceWorker {
public:
    using Task = std::function<void()>;

    ServiceWorker();
    ~ServiceWorker();
    ServiceWorker(const ServiceWorker&) = delete;
    ServiceWorker& operator=(const ServiceWorker&) = delete;

    void Run(Task task);
    // Waits until every task asked for so far has finished.
    void Drain();

private:
    void Loop();

    std::mutex m_mutex; // guards m_tasks, m_busy and m_stopping
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Task> m_tasks;
    bool m_busy{false};
    bool m_stopping{false};
    std::thread m_thread; // last: starts once the members above exist
};

} // namespace App
