#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace Velto::Corvane {

// The request body as the handler reads it; framing is already removed.
class HttpBody {
public:
    virtual ~HttpBody() = default;

    virtual bool HasBody() const = 0;
    // True with the length for a Content-Length body, true with 0 when there
    // is no body, false for a chunked body (length unknown).
    virtual bool ContentLength(std::uint64_t& length) const = 0;
    // Fills up to buffer.size() bytes; count 0 with true means the body ended.
    virtual bool Read(std::span<std::byte> buffer, std::size_t& count) = 0;
    virtual bool IsComplete() const = 0;
};

} // namespace Velto::Corvane
