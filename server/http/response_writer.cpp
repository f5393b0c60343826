#include "server/http/response_writer.h"

#include "base/ascii_case.h"
#include "base/interrupt_retry.h"
#include "server/http/head_parser.h"
#include "server/http/reason_phrase.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kLastChunk = "0\r\n\r\n";
constexpr std::string_view kCrlf = "\r\n";
// Read size of the copying path for file bodies (TLS connections).
constexpr std::size_t kFileReadPiece = 256 * 1024;
// File ranges up to this size are read into memory and leave together with
// the head in one send; larger ones follow the head by sendfile.
constexpr std::size_t kCoalescedFileBody = 16 * 1024;
// Room for the headers a handler typically adds, plus the server's own.
constexpr std::size_t kUsualHeaderCount = 16;

bool IsValidHeaderName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), IsTokenChar);
}

bool IsValidHeaderValue(std::string_view value) {
    return std::none_of(value.begin(), value.end(),
                        [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

bool IsCacheControl(std::string_view name) {
    return AsciiEqualsIgnoreCase(name, "cache-control");
}

bool HasBodylessStatus(std::int32_t status) {
    return (status >= 100 && status <= 199) || status == 204 || status == 304;
}

Net::ByteSpan AsBytes(std::string_view text) {
    return std::as_bytes(std::span(text));
}

} // namespace

ResponseWriter::ResponseWriter(ConnectionIo& io, const HttpRequest& request, bool keepAlive)
    : m_io(io), m_isHead(request.method == "HEAD"), m_http10(request.head.version == 0),
      m_closeAfter(!keepAlive) {
    m_headers.reserve(kUsualHeaderCount);
}

ResponseWriter::~ResponseWriter() {
    FlushHead();
}

void ResponseWriter::AddHeader(std::string name, std::string value) {
    if (m_headSent)
        return;
    m_headers.emplace_back(std::move(name), std::move(value));
}

bool ResponseWriter::Begin(std::int32_t status, std::uint64_t contentLength) {
    if (m_headSent)
        return false;
    if (HasBodylessStatus(status)) {
        m_declaredLength = 0;
    } else {
        // Lengths beyond the signed range cannot be written anyway; clamp so
        // the declared length stays a plain number.
        m_declaredLength = static_cast<std::int64_t>(
            std::min<std::uint64_t>(contentLength, static_cast<std::uint64_t>(INT64_MAX)));
        m_headers.emplace_back("Content-Length", std::to_string(contentLength));
    }
    m_status = status;
    return SendHead();
}

bool ResponseWriter::BeginChunked(std::int32_t status) {
    if (m_headSent)
        return false;
    if (m_http10) {
        m_closeAfter = true;
    } else {
        m_headers.emplace_back("Transfer-Encoding", "chunked");
        m_chunked = true;
    }
    m_declaredLength = -1;
    m_status = status;
    return SendHead();
}

bool ResponseWriter::SendHead() {
    m_headSent = true;
    const bool hasCacheControl =
        std::any_of(m_headers.begin(), m_headers.end(),
                    [](const auto& header) { return IsCacheControl(header.first); });
    if (!hasCacheControl)
        m_headers.emplace_back("Cache-Control", "no-store");
    m_headers.emplace_back("X-Content-Type-Options", "nosniff");
    m_headers.emplace_back("Referrer-Policy", "no-referrer");
    if (m_closeAfter)
        m_headers.emplace_back("Connection", "close");

    if (m_status < 100 || m_status > 999) {
        m_failed = true;
        return false;
    }
    const std::string_view phrase = ReasonPhrase(m_status);
    // "HTTP/1.1 " + three digits + " " + phrase + CRLF, each header, CRLF.
    std::size_t size = 9 + 3 + 1 + phrase.size() + 2 + 2;
    for (const auto& [name, value] : m_headers) {
        if (!IsValidHeaderName(name) || !IsValidHeaderValue(value)) {
            m_failed = true;
            return false;
        }
        size += name.size() + 2 + value.size() + 2;
    }
    std::string head;
    head.reserve(size);
    head.append("HTTP/1.1 ").append(std::to_string(m_status)).append(" ").append(phrase);
    head.append(kCrlf);
    for (const auto& [name, value] : m_headers)
        head.append(name).append(": ").append(value).append(kCrlf);
    head.append(kCrlf);

    if (m_declaredLength > 0 && !m_chunked && !m_isHead) {
        m_heldHead = std::move(head);
        return true;
    }
    if (!m_io.Send(head)) {
        m_failed = true;
        return false;
    }
    if (m_declaredLength == 0 && !m_chunked)
        m_complete = true;
    return true;
}

bool ResponseWriter::FlushHead() {
    if (m_heldHead.empty())
        return true;
    const std::string head = std::move(m_heldHead);
    m_heldHead.clear();
    if (!m_io.Send(head)) {
        m_failed = true;
        return false;
    }
    return true;
}

bool ResponseWriter::AcceptBody(std::uint64_t size) {
    if (!m_chunked && m_declaredLength != -1 &&
        size > static_cast<std::uint64_t>(m_declaredLength) - m_written) {
        m_failed = true;
        return false;
    }
    m_written += size;
    return true;
}

bool ResponseWriter::Write(std::span<const std::byte> data) {
    if (!m_headSent || m_complete || m_failed)
        return false;
    if (data.empty())
        return true;
    if (!AcceptBody(data.size()))
        return false;
    if (m_isHead)
        return true;

    if (m_chunked) {
        char sizeLine[24];
        const int length = std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", data.size());
        const std::array<Net::ByteSpan, 3> pieces = {
            AsBytes(std::string_view(sizeLine, static_cast<std::size_t>(length))), data,
            AsBytes(kCrlf)};
        if (!m_io.SendGather(pieces)) {
            m_failed = true;
            return false;
        }
        return true;
    }
    if (!m_heldHead.empty()) {
        const std::string head = std::move(m_heldHead);
        m_heldHead.clear();
        const std::array<Net::ByteSpan, 2> pieces = {AsBytes(head), data};
        if (!m_io.SendGather(pieces)) {
            m_failed = true;
            return false;
        }
        return true;
    }
    if (Failed(m_io.Connection().Send(data))) {
        m_failed = true;
        return false;
    }
    m_io.Counters().bytesSent.fetch_add(data.size(), std::memory_order_relaxed);
    return true;
}

bool ResponseWriter::WriteFileRange(int fd, std::uint64_t offset, std::uint64_t length) {
    if (!m_headSent || m_complete || m_failed)
        return false;
    if (length == 0)
        return true;
    if (!AcceptBody(length))
        return false;
    if (m_isHead)
        return true;

    if (!m_heldHead.empty() && length <= kCoalescedFileBody)
        return SendHeadWithFileBytes(fd, offset, length);
    Net::IConnection& connection = m_io.Connection();
    if (!m_chunked && connection.CanSendFile()) {
        // The held-back head goes out with the file's first bytes.
        const std::string head = std::move(m_heldHead);
        m_heldHead.clear();
        if (Failed(connection.SendHeadAndFile(AsBytes(head), fd, offset, length))) {
            m_failed = true;
            return false;
        }
        m_io.Counters().bytesSent.fetch_add(head.size() + length, std::memory_order_relaxed);
        return true;
    }
    if (!FlushHead())
        return false;
    if (m_chunked) {
        // One chunk for the whole range: the size line, the file bytes, CRLF.
        char sizeLine[24];
        const int size = std::snprintf(sizeLine, sizeof sizeLine, "%llx\r\n",
                                       static_cast<unsigned long long>(length));
        if (!m_io.Send(std::string_view(sizeLine, static_cast<std::size_t>(size)))) {
            m_failed = true;
            return false;
        }
    }
    if (!SendFileBytes(fd, offset, length)) {
        m_failed = true;
        return false;
    }
    if (m_chunked && !m_io.Send(kCrlf)) {
        m_failed = true;
        return false;
    }
    return true;
}

bool ResponseWriter::SendHeadWithFileBytes(int fd, std::uint64_t offset, std::uint64_t length) {
    std::array<std::byte, kCoalescedFileBody> body;
    const auto want = static_cast<std::size_t>(length);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t count = RetryOnInterrupt([&] {
            return ::pread(fd, body.data() + got, want - got, static_cast<off_t>(offset + got));
        });
        if (count <= 0)
            break; // read error, or the file ended before the range
        got += static_cast<std::size_t>(count);
    }
    // What could be read goes out even when the range came up short, just as
    // the zero-copy path sends what the file still holds before failing.
    const std::string head = std::move(m_heldHead);
    m_heldHead.clear();
    const std::array<Net::ByteSpan, 2> pieces = {AsBytes(head), Net::ByteSpan(body.data(), got)};
    if (!m_io.SendGather(pieces) || got != want) {
        m_failed = true;
        return false;
    }
    return true;
}

bool ResponseWriter::SendFileBytes(int fd, std::uint64_t offset, std::uint64_t length) {
    Net::IConnection& connection = m_io.Connection();
    if (connection.CanSendFile()) {
        if (Failed(connection.SendFile(fd, offset, length)))
            return false;
        m_io.Counters().bytesSent.fetch_add(length, std::memory_order_relaxed);
        return true;
    }

    const std::size_t pieceSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(length, kFileReadPiece));
    const auto piece = std::make_unique_for_overwrite<std::byte[]>(pieceSize);
    while (length > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, pieceSize));
        const ssize_t got = RetryOnInterrupt(
            [&] { return ::pread(fd, piece.get(), want, static_cast<off_t>(offset)); });
        if (got <= 0)
            return false; // read error, or the file ended before the range
        const auto count = static_cast<std::size_t>(got);
        if (Failed(connection.Send(std::span<const std::byte>(piece.get(), count))))
            return false;
        m_io.Counters().bytesSent.fetch_add(count, std::memory_order_relaxed);
        offset += count;
        length -= count;
    }
    return true;
}

bool ResponseWriter::Finish() {
    if (!m_headSent || m_failed || !FlushHead())
        return false;
    if (m_complete)
        return true;
    if (!m_chunked) {
        if (m_declaredLength != -1 && static_cast<std::uint64_t>(m_declaredLength) != m_written &&
            !m_isHead) {
            m_failed = true;
            return false;
        }
    } else if (!m_isHead) {
        if (!m_io.Send(kLastChunk)) {
            m_failed = true;
            return false;
        }
    }
    m_complete = true;
    return true;
}

} // namespace Velto::Corvane
