#pragma once

#include "server/http/http_handler.h"

#include <mutex>
#include <string>
#include <vector>

namespace Velto::Testing {

// What the test handler saw of one request.
struct SeenRequest {
    Corvane::HttpRequest request;
    std::string body;
    bool bodyRead{false};
    bool writeAccepted{true};
    bool finished{false};
};

// Routes by path, so each test asks for the behaviour it needs:
//   /echo          reads the whole body and answers it as text/plain
//   /info          answers "method|path|query|peer|secure"
//   /ignore-body   answers "ok" without reading the body
//   /overwrite     Begin(200, 10) then writes 11 bytes
//   /nothing       returns without starting a response
//   /chunked       BeginChunked, writes "hello " and "world", Finish
//   /head-1000     Begin(200, 1000), writes 1000 bytes
//   /cache         adds a lower-case cache-control header
//   /bad-header?kind=name|value  adds a header that cannot be serialised
//   /close         CloseAfter, then answers "bye"
//   /status?code=N answers status N with an empty body
//   /file?path=P&offset=O&length=L  sends a file range with WriteFileRange
//   /file-chunked?...               the same inside a chunked response
//   /throw?kind=K  throws: a std::runtime_error before answering (default),
//                  an int (other), or a runtime_error after 7 of 100 body
//                  bytes (after-head)
// Anything else answers "ok".
class TestHandler : public Corvane::IHttpHandler {
public:
    void Handle(const Corvane::HttpRequest& request, Corvane::HttpBody& body,
                Corvane::HttpResponse& response) override;

    // The request fields are recorded before the handler answers; the
    // outcome fields once it returns (read them after the connection moved on).
    std::vector<SeenRequest> Seen() const;
    SeenRequest Last() const;

private:
    std::size_t Begin(const Corvane::HttpRequest& request);
    void Complete(std::size_t index, SeenRequest seen);

    mutable std::mutex m_mutex; // guards m_seen
    std::vector<SeenRequest> m_seen;
};

} // namespace Velto::Testing
