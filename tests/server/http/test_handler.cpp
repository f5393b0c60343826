#include "tests/server/http/test_handler.h"

#include "server/http/request_helpers.h"

#include <fcntl.h>

#include <stdexcept>

#include "base/unique_fd.h"

namespace Velto::Testing {
namespace {

constexpr std::uint64_t kMaxEchoBytes = 64 * 1024 * 1024;

std::span<const std::byte> Bytes(std::string_view text) {
    return std::as_bytes(std::span(text));
}

} // namespace

void TestHandler::Handle(const Corvane::HttpRequest& request, Corvane::HttpBody& body,
                         Corvane::HttpResponse& response) {
    const std::size_t index = Begin(request);
    SeenRequest seen;
    seen.request = request;
    const std::string& path = request.path;

    if (path == "/echo") {
        seen.bodyRead = Corvane::ReadAll(body, seen.body, kMaxEchoBytes);
        if (!seen.bodyRead) {
            Corvane::Respond(response, 413, "text/plain", "too large");
        } else {
            seen.finished = Corvane::Respond(response, 200, "text/plain", seen.body);
        }
    } else if (path == "/info") {
        const std::string text = request.method + "|" + request.path + "|" + request.query + "|" +
                                 request.peer + "|" + (request.secure ? "1" : "0");
        seen.finished = Corvane::Respond(response, 200, "text/plain", text);
    } else if (path == "/overwrite") {
        response.Begin(200, 10);
        seen.writeAccepted = response.Write(Bytes("0123456789A"));
        seen.finished = response.Finish();
    } else if (path == "/nothing") {
        // Deliberately no response.
    } else if (path == "/chunked") {
        response.AddHeader("Content-Type", "text/plain");
        response.BeginChunked(200);
        response.Write(Bytes("hello "));
        response.Write(Bytes("world"));
        seen.finished = response.Finish();
    } else if (path == "/head-1000") {
        response.Begin(200, 1000);
        seen.writeAccepted = response.Write(Bytes(std::string(1000, 'h')));
        seen.finished = response.Finish();
    } else if (path == "/cache") {
        response.AddHeader("cache-control", "max-age=5");
        seen.finished = Corvane::Respond(response, 200, "text/plain", "cached");
    } else if (path == "/bad-header") {
        // A value smuggling a line break, or a name that is not a token.
        if (Corvane::QueryParam(request, "kind") == "name")
            response.AddHeader("Bad Name", "x");
        else
            response.AddHeader("X-Value", "a\r\nInjected: 1");
        seen.finished = Corvane::Respond(response, 200, "text/plain", "never sent");
    } else if (path == "/close") {
        response.CloseAfter();
        seen.finished = Corvane::Respond(response, 200, "text/plain", "bye");
    } else if (path == "/status") {
        const int code = std::atoi(Corvane::QueryParam(request, "code").c_str());
        seen.finished = response.Begin(code, 0) && response.Finish();
    } else if (path == "/file" || path == "/file-chunked") {
        const UniqueFd fd(
            ::open(Corvane::QueryParam(request, "path").c_str(), O_RDONLY | O_CLOEXEC));
        const std::uint64_t offset = std::stoull(Corvane::QueryParam(request, "offset"));
        const std::uint64_t length = std::stoull(Corvane::QueryParam(request, "length"));
        if (path == "/file")
            response.Begin(200, length);
        else
            response.BeginChunked(200);
        seen.writeAccepted = response.WriteFileRange(fd.Get(), offset, length);
        seen.finished = response.Finish();
    } else if (path == "/throw") {
        // Handlers are not supposed to throw; the server must survive one that does.
        const std::string kind = Corvane::QueryParam(request, "kind");
        if (kind == "after-head") {
            response.Begin(200, 100);
            response.Write(Bytes("partial"));
            throw std::runtime_error("failed halfway");
        }
        if (kind == "other")
            throw 42;
        throw std::runtime_error("failed\x1b[2J before answering");
    } else {
        seen.finished = Corvane::Respond(response, 200, "text/plain", "ok");
    }
    Complete(index, std::move(seen));
}

std::size_t TestHandler::Begin(const Corvane::HttpRequest& request) {
    const std::lock_guard lock(m_mutex);
    SeenRequest seen;
    seen.request = request;
    m_seen.push_back(std::move(seen));
    return m_seen.size() - 1;
}

void TestHandler::Complete(std::size_t index, SeenRequest seen) {
    const std::lock_guard lock(m_mutex);
    m_seen[index] = std::move(seen);
}

std::vector<SeenRequest> TestHandler::Seen() const {
    const std::lock_guard lock(m_mutex);
    return m_seen;
}

SeenRequest TestHandler::Last() const {
    const std::lock_guard lock(m_mutex);
    return m_seen.empty() ? SeenRequest{} : m_seen.back();
}

} // namespace Velto::Testing
