#pragma once

#include "server/http/connection_io.h"
#include "server/http/http_request.h"
#include "server/http/http_response.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Velto::Corvane {

// The server's HttpResponse: serialises the head, frames the body (declared
// length, chunked, or until close for HTTP/1.0) and keeps the counters.
class ResponseWriter final : public HttpResponse {
public:
    ResponseWriter(ConnectionIo& io, const HttpRequest& request, bool keepAlive);
    // Sends a head still held back (see SendHead), so the peer sees the same
    // bytes however the handler ended.
    ~ResponseWriter() override;

    ResponseWriter(const ResponseWriter&) = delete;
    ResponseWriter& operator=(const ResponseWriter&) = delete;

    void AddHeader(std::string name, std::string value) override;
    bool Begin(std::int32_t status, std::uint64_t contentLength) override;
    bool BeginChunked(std::int32_t status) override;
    bool Write(std::span<const std::byte> data) override;
    bool Finish() override;
    void CloseAfter() override { m_closeAfter = true; }
    bool HeadSent() const override { return m_headSent; }
    std::int32_t Status() const override { return m_status; }
    std::uint64_t BytesWritten() const override { return m_written; }
    bool WriteFileRange(int fd, std::uint64_t offset, std::uint64_t length) override;

    bool IsComplete() const { return m_complete; }
    bool HasFailed() const { return m_failed; }
    bool ClosesAfter() const { return m_closeAfter; }

private:
    // Builds the head. When a body of declared length must follow, the head is
    // held back and leaves with the first body bytes in one send; otherwise it
    // is sent at once.
    bool SendHead();
    // Sends the held-back head on its own, if there is one.
    bool FlushHead();
    // The held-back head and a small file range, read into memory, in one send.
    bool SendHeadWithFileBytes(int fd, std::uint64_t offset, std::uint64_t length);
    // Checks a body write of `size` bytes against the declared length and
    // counts it; false (and failed) when it would overrun.
    bool AcceptBody(std::uint64_t size);
    bool SendFileBytes(int fd, std::uint64_t offset, std::uint64_t length);

    ConnectionIo& m_io;
    bool m_isHead{false};
    bool m_http10{false};
    bool m_closeAfter{false};
    std::vector<std::pair<std::string, std::string>> m_headers;
    bool m_headSent{false};
    std::string m_heldHead; // built but not yet sent
    bool m_complete{false};
    bool m_failed{false};
    bool m_chunked{false};
    std::int32_t m_status{0};
    std::int64_t m_declaredLength{0}; // -1: chunked or ends with the connection
    std::uint64_t m_written{0};
};

} // namespace Velto::Corvane
