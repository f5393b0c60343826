#pragma once

#include "base/unique_fd.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace App::Testing {

// An analytics collection service on a loopback port for tests: it reads
// each request whole (head and Content-Length body), records it and answers
// 204. It can hold its answers back until released, or answer with a body
// that never ends.
class CollectServer {
public:
    struct Request {
        std::string head; // request line and headers, up to the blank line
        std::string body;
    };
    enum class Answer { NoContent, Held, Endless };

    CollectServer();
    ~CollectServer();
    CollectServer(const CollectServer&) = delete;
    CollectServer& operator=(const CollectServer&) = delete;

    bool IsListening() const { return m_listen.IsValid(); }
    std::string Endpoint() const;
    // How requests that arrive from now on are answered; leaving Held sends
    // the answers held back so far.
    void SetAnswer(Answer answer);

    // Waits (at most `limitMs`) until `count` requests have arrived.
    bool WaitForRequests(std::size_t count, int limitMs);
    std::vector<Request> Requests() const;

private:
    void AcceptLoop();
    void Serve(int fd);

    Velto::UniqueFd m_listen;
    std::uint16_t m_port{0};
    std::thread m_acceptor;

    mutable std::mutex m_lock; // guards everything below
    std::condition_variable m_changed;
    bool m_stopping{false};
    Answer m_answer{Answer::NoContent};
    std::vector<Request> m_requests;
    std::vector<int> m_connections; // open connection descriptors, for the stop
    std::vector<std::thread> m_servers;
};

} // namespace App::Testing
