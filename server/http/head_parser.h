#pragma once

#include "server/http/http_request.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace Velto::Corvane {

// The largest request head the server reads, final empty line included.
constexpr std::size_t kMaxHeadBytes = 32768;

enum class HeadParseStatus { Incomplete, Error, Complete };

struct HeadParseResult {
    HeadParseStatus status{HeadParseStatus::Incomplete};
    RequestHead head;    // set when Complete
    std::size_t used{0}; // bytes of the head, final line end included
};

// Incremental form for a receive buffer that only grows: each call resumes
// after the last whole line already read, so a head that arrives in many small
// pieces costs one pass, not one pass per piece.
class RequestHeadParser {
public:
    // `input` must begin with everything passed before. Once Complete or
    // Error, the parser keeps that answer.
    HeadParseStatus Parse(std::string_view input, std::size_t limit = kMaxHeadBytes);
    // The head and its length in bytes, after Complete.
    RequestHead& Head() { return m_head; }
    std::size_t Used() const { return m_pos; }

private:
    HeadParseStatus m_status{HeadParseStatus::Incomplete};
    std::size_t m_pos{0}; // start of the first line not yet read
    bool m_haveRequestLine{false};
    RequestHead m_head;
};

// Parses a request head from the front of `input`. Lines may end in CRLF or a
// bare LF; empty lines before the request line are skipped. Only origin-form
// targets and the protocol names "HTTP/1.1" and "HTTP/1.0" are accepted.
HeadParseResult ParseRequestHead(std::string_view input, std::size_t limit = kMaxHeadBytes);

struct HeadAnalysis {
    BodyKind kind{BodyKind::None};
    std::uint64_t contentLength{0}; // 0 unless kind is Length
    bool keepAlive{false};
};

// Decides body framing and persistence from the headers; nullopt when the
// framing is malformed or ambiguous (the request must be refused).
std::optional<HeadAnalysis> AnalyseHead(const RequestHead& head);

// True for the characters of an HTTP token.
bool IsTokenChar(char c);

} // namespace Velto::Corvane
