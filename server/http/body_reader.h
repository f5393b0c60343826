#pragma once

#include "server/http/chunk_decoder.h"
#include "server/http/connection_io.h"
#include "server/http/http_body.h"
#include "server/http/http_request.h"

#include <cstdint>
#include <string>

namespace Velto::Corvane {

// The server's HttpBody: reads a Content-Length or chunked body from the
// connection, consuming buffered bytes first.
class BodyReader final : public HttpBody {
public:
    BodyReader(ConnectionIo& io, BodyKind kind, std::uint64_t contentLength);

    bool HasBody() const override { return m_kind != BodyKind::None; }
    bool ContentLength(std::uint64_t& length) const override;
    bool Read(std::span<std::byte> buffer, std::size_t& count) override;
    bool IsComplete() const override { return m_complete; }

    bool HasFailed() const { return m_failed; }

private:
    bool ReadLength(std::span<std::byte> buffer, std::size_t& count);
    bool ReadChunked(std::span<std::byte> buffer, std::size_t& count);

    ConnectionIo& m_io;
    BodyKind m_kind{BodyKind::None};
    std::uint64_t m_contentLength{0};
    std::uint64_t m_remaining{0};
    ChunkDecoder m_decoder;
    std::string m_decoded;
    std::size_t m_decodedPos{0};
    bool m_decoderDone{false};
    bool m_complete{false};
    bool m_failed{false};
};

} // namespace Velto::Corvane
