#include "server/http/head_parser.h"

#include "base/ascii_case.h"
#include "base/ascii_text.h"
#include "server/http/list_elements.h"
#include "server/http/request_helpers.h"

#include <algorithm>
#include <string>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kHttp11 = "HTTP/1.1";
constexpr std::string_view kHttp10 = "HTTP/1.0";
constexpr std::size_t kMaxLengthDigits = 19;

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

bool IsTargetChar(char c) {
    return c >= '!' && c <= '~';
}

bool ParseRequestLine(std::string_view line, RequestHead& head) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return false;
    const std::string_view method = line.substr(0, space);
    std::string_view rest = line.substr(space + 1);
    // " HTTP/1.x" closes the line: one space and exactly eight characters.
    if (rest.size() < kHttp11.size() + 1 || rest[rest.size() - kHttp11.size() - 1] != ' ')
        return false;
    const std::string_view protocol = rest.substr(rest.size() - kHttp11.size());
    const std::string_view target = rest.substr(0, rest.size() - kHttp11.size() - 1);
    if (!IsToken(method))
        return false;
    if (target.empty() || target.front() != '/' ||
        !std::all_of(target.begin(), target.end(), IsTargetChar))
        return false;
    if (protocol == kHttp11)
        head.version = 1;
    else if (protocol == kHttp10)
        head.version = 0;
    else
        return false;
    head.method = method;
    head.target = target;
    return true;
}

bool ParseHeaderLine(std::string_view line, RequestHead& head) {
    if (line.front() == ' ' || line.front() == '\t')
        return false; // obsolete line folding
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view name = line.substr(0, colon);
    if (!IsToken(name))
        return false;
    const std::string_view value = TrimSpaceTab(line.substr(colon + 1));
    if (value.find('\0') != std::string_view::npos || value.find('\r') != std::string_view::npos)
        return false;
    head.headers.push_back({AsciiLowerCopy(name), std::string(value)});
    return true;
}

// 1 to 19 decimal digits and nothing else.
std::optional<std::uint64_t> ParseLengthElement(std::string_view text) {
    return ParseDecimal(text, kMaxLengthDigits);
}

} // namespace

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

HeadParseStatus RequestHeadParser::Parse(std::string_view input, std::size_t limit) {
    while (m_status == HeadParseStatus::Incomplete) {
        const std::size_t newline = input.find('\n', m_pos);
        if (newline == std::string_view::npos) {
            if (input.size() >= limit)
                m_status = HeadParseStatus::Error;
            break;
        }
        const std::size_t lineEnd = newline + 1;
        if (lineEnd > limit) {
            m_status = HeadParseStatus::Error;
            break;
        }
        std::string_view line = input.substr(m_pos, newline - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_pos = lineEnd;

        if (!m_haveRequestLine) {
            if (line.empty())
                continue;
            if (!ParseRequestLine(line, m_head))
                m_status = HeadParseStatus::Error;
            m_haveRequestLine = true;
            continue;
        }
        if (line.empty()) {
            m_status = HeadParseStatus::Complete;
            break;
        }
        if (!ParseHeaderLine(line, m_head))
            m_status = HeadParseStatus::Error;
    }
    return m_status;
}

HeadParseResult ParseRequestHead(std::string_view input, std::size_t limit) {
    RequestHeadParser parser;
    HeadParseResult result;
    result.status = parser.Parse(input, limit);
    if (result.status == HeadParseStatus::Complete) {
        result.head = std::move(parser.Head());
        result.used = parser.Used();
    }
    return result;
}

std::optional<HeadAnalysis> AnalyseHead(const RequestHead& head) {
    HeadAnalysis analysis;
    analysis.keepAlive = head.version == 0 ? HeaderHasToken(head, "connection", "keep-alive")
                                           : !HeaderHasToken(head, "connection", "close");

    bool haveTransferEncoding = false;
    std::vector<std::string> codings;
    bool haveContentLength = false;
    for (const HeaderField& field : head.headers) {
        if (field.name == "content-length")
            haveContentLength = true;
        if (field.name != "transfer-encoding")
            continue;
        haveTransferEncoding = true;
        ForEachListElement(field.value, [&](std::string_view element) {
            codings.push_back(AsciiLowerCopy(element));
        });
    }

    if (haveTransferEncoding) {
        // Both framings at once, or any coding but plain "chunked", is how
        // request smuggling starts: refuse instead of guessing.
        if (head.version == 0 || haveContentLength)
            return std::nullopt;
        if (codings.size() != 1 || codings.front() != "chunked")
            return std::nullopt;
        analysis.kind = BodyKind::Chunked;
        return analysis;
    }

    std::optional<std::uint64_t> length;
    for (const HeaderField& field : head.headers) {
        if (field.name != "content-length")
            continue;
        bool anyElement = false;
        bool valid = true;
        ForEachListElement(field.value, [&](std::string_view element) {
            anyElement = true;
            const std::optional<std::uint64_t> value = ParseLengthElement(element);
            if (!value || (length && *length != *value)) {
                valid = false;
                return;
            }
            length = value;
        });
        if (!anyElement || !valid)
            return std::nullopt;
    }
    if (length) {
        analysis.kind = BodyKind::Length;
        analysis.contentLength = *length;
    }
    return analysis;
}

} // namespace Velto::Corvane
