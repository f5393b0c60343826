#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace Velto::Corvane {

// The response a handler writes. The head goes out with Begin or BeginChunked;
// headers added later are discarded.
class HttpResponse {
public:
    virtual ~HttpResponse() = default;

    virtual void AddHeader(std::string name, std::string value) = 0;
    // Status 1xx, 204 and 304 carry no Content-Length and no body.
    virtual bool Begin(std::int32_t status, std::uint64_t contentLength) = 0;
    // Chunked framing; an HTTP/1.0 client gets the body unframed and the
    // connection closes after it.
    virtual bool BeginChunked(std::int32_t status) = 0;
    virtual bool Write(std::span<const std::byte> data) = 0;
    virtual bool Finish() = 0;
    virtual void CloseAfter() = 0;
    virtual bool HeadSent() const = 0;
    virtual std::int32_t Status() const = 0;
    virtual std::uint64_t BytesWritten() const = 0;

    // Writes `length` bytes of the open file `fd` from `offset` as body bytes,
    // exactly as Write of the same bytes would, but without copying them
    // through the handler (sendfile on plain connections). Fails, marking the
    // response failed, when the file ends before the range does.
    virtual bool WriteFileRange(int fd, std::uint64_t offset, std::uint64_t length) = 0;
};

} // namespace Velto::Corvane
