#include "server/http/body_reader.h"

#include <algorithm>
#include <cstring>

namespace Velto::Corvane {

BodyReader::BodyReader(ConnectionIo& io, BodyKind kind, std::uint64_t contentLength)
    : m_io(io), m_kind(kind), m_contentLength(kind == BodyKind::Length ? contentLength : 0),
      m_remaining(m_contentLength) {
    m_complete = kind == BodyKind::None || (kind == BodyKind::Length && contentLength == 0);
}

bool BodyReader::ContentLength(std::uint64_t& length) const {
    length = 0;
    if (m_kind == BodyKind::Chunked)
        return false;
    length = m_contentLength;
    return true;
}

bool BodyReader::Read(std::span<std::byte> buffer, std::size_t& count) {
    count = 0;
    if (m_failed)
        return false;
    if (m_complete || buffer.empty())
        return true;
    if (m_kind == BodyKind::Length)
        return ReadLength(buffer, count);
    return ReadChunked(buffer, count);
}

bool BodyReader::ReadLength(std::span<std::byte> buffer, std::size_t& count) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, buffer.size()));
    std::string& buffered = m_io.Buffer();
    if (!buffered.empty()) {
        count = std::min(want, buffered.size());
        std::memcpy(buffer.data(), buffered.data(), count);
        buffered.erase(0, count);
    } else {
        // Nothing buffered: receive straight into the handler's buffer.
        std::uint32_t received = 0;
        const Result result = m_io.Receive(buffer.first(want), received);
        if (Failed(result) || received == 0) {
            m_failed = true;
            return false;
        }
        count = received;
    }
    m_remaining -= count;
    if (m_remaining == 0)
        m_complete = true;
    return true;
}

bool BodyReader::ReadChunked(std::span<std::byte> buffer, std::size_t& count) {
    std::string& raw = m_io.Buffer();
    while (m_decodedPos == m_decoded.size() && !m_decoderDone) {
        m_decoded.clear();
        m_decodedPos = 0;
        if (raw.empty() && !m_io.ReceiveMore()) {
            m_failed = true;
            return false;
        }
        std::size_t consumed = 0;
        const ChunkStatus status = m_decoder.Decode(raw, consumed, m_decoded);
        raw.erase(0, consumed);
        if (status == ChunkStatus::Error) {
            m_failed = true;
            return false;
        }
        if (status == ChunkStatus::Done) {
            if (m_decoded.empty()) {
                m_complete = true;
                return true;
            }
            m_decoderDone = true;
        }
    }
    count = std::min(buffer.size(), m_decoded.size() - m_decodedPos);
    std::memcpy(buffer.data(), m_decoded.data() + m_decodedPos, count);
    m_decodedPos += count;
    if (m_decodedPos == m_decoded.size() && m_decoderDone)
        m_complete = true;
    return true;
}

} // namespace Velto::Corvane
