#include "app/desktop/service_commands.h"

#include "service/corvane_service.h"

namespace App {

ServiceCommands::ServiceCommands(Velto::Corvane::CorvaneService& service, Post post)
    : m_service(service), m_post(std::move(post)) {}

ServiceCommands::~ServiceCommands() {
    m_alive.reset();
    m_worker.Drain();
}

Velto::Corvane::Config ServiceCommands::Current() const {
    Velto::Corvane::Config config = m_service.GetConfig();
    for (const auto& edit : m_pending)
        (*edit)(config);
    return config;
}

Velto::Corvane::ServiceStatus ServiceCommands::Status() const {
    return m_service.GetStatus();
}

Velto::Corvane::AccessLog& ServiceCommands::Log() {
    return m_service.Log();
}

void ServiceCommands::Change(Edit edit, std::function<void(const ConfigEditResult&)> done) {
    auto shared = std::make_shared<const Edit>(std::move(edit));
    m_pending.push_back(shared);
    std::weak_ptr<bool> alive = m_alive;
    m_worker.Run([this, alive, shared, done = std::move(done)] {
        const ConfigEditResult result = EditConfiguration(m_service, *shared);
        m_post([this, alive, shared, done, result] {
            if (!alive.lock())
                return;
            m_pending.remove(shared);
            if (done)
                done(result);
        });
    });
}

void ServiceCommands::Start(std::function<void(Velto::Result, std::uint16_t)> done) {
    std::weak_ptr<bool> alive = m_alive;
    m_worker.Run([this, alive, done = std::move(done)] {
        const Velto::Result result = m_service.Start();
        const std::uint16_t port = m_service.GetStatus().port;
        m_post([alive, done, result, port] {
            if (alive.lock() && done)
                done(result, port);
        });
    });
}

void ServiceCommands::Stop(std::function<void()> done) {
    std::weak_ptr<bool> alive = m_alive;
    m_worker.Run([this, alive, done = std::move(done)] {
        m_service.Stop();
        m_post([alive, done] {
            if (alive.lock() && done)
                done();
        });
    });
}

} // namespace App
