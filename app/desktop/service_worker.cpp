#include "app/desktop/service_worker.h"

namespace App {

ServiceWorker::ServiceWorker() : m_thread([this] { Loop(); }) {}

ServiceWorker::~ServiceWorker() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void ServiceWorker::Run(Task task) {
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void ServiceWorker::Drain() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

void ServiceWorker::Loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty())
            return; // stopping, with nothing left to do
        Task task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        lock.unlock();
        task();
        lock.lock();
        m_busy = false;
        if (m_tasks.empty())
            m_idle.notify_all();
    }
}

} // namespace App
