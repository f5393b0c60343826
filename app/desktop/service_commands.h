#pragma once

#include "app/desktop/config_edit.h"
#include "app/desktop/service_worker.h"
#include "base/result.h"
#include "config/config.h"
#include "service/service_status.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>

namespace Velto::Corvane {
class AccessLog;
class CorvaneService;
} // namespace Velto::Corvane

namespace App {

// The window's way to the service: starting, stopping and configuration
// changes run in order on one worker thread, and their outcome comes back to
// the UI thread through `post`. Until a change has come back, Current()
// shows it already, so that the next dialog checks names against it.
//
// A change must be idempotent (append a share only when its id is missing,
// replace or remove by id): Current() may apply it to a configuration the
// worker already changed.
class ServiceCommands {
public:
    using Post = std::function<void(std::function<void()>)>;
    using Edit = std::function<bool(Velto::Corvane::Config&)>;

    ServiceCommands(Velto::Corvane::CorvaneService& service, Post post);
    // Finishes the queued work; outcomes that arrive later are dropped.
    ~ServiceCommands();
    ServiceCommands(const ServiceCommands&) = delete;
    ServiceCommands& operator=(const ServiceCommands&) = delete;

    // The service's configuration with the changes still under way.
    Velto::Corvane::Config Current() const;
    bool HasPendingChanges() const { return !m_pending.empty(); }
    // The service's status and access log, read on the calling thread.
    Velto::Corvane::ServiceStatus Status() const;
    Velto::Corvane::AccessLog& Log();

    void Change(Edit edit, std::function<void(const ConfigEditResult&)> done);
    // `done` gets the start's result and the port it listens on.
    void Start(std::function<void(Velto::Result result, std::uint16_t port)> done);
    void Stop(std::function<void()> done);
    // Waits for the queued work (tests, shutdown).
    void Drain() { m_worker.Drain(); }

private:
    Velto::Corvane::CorvaneService& m_service;
    Post m_post;
    std::list<std::shared_ptr<const Edit>> m_pending; // UI thread only
    // Outcomes posted after the commands are gone find this expired.
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
    ServiceWorker m_worker; // last: its thread ends before the members above go
};

} // namespace App
