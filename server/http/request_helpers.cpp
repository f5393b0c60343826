#include "server/http/request_helpers.h"

#include "base/ascii_case.h"
#include "server/http/cookie_value.h"
#include "server/http/list_elements.h"
#include "server/http/percent_coding.h"

#include <array>
#include <optional>

namespace Velto::Corvane {
namespace {

constexpr std::size_t kReadAllPiece = 16384;

} // namespace

const std::string* FindHeader(const RequestHead& head, std::string_view name) {
    for (const HeaderField& field : head.headers) {
        if (field.name == name)
            return &field.value;
    }
    return nullptr;
}

std::size_t CountHeaders(const RequestHead& head, std::string_view name) {
    std::size_t count = 0;
    for (const HeaderField& field : head.headers) {
        if (field.name == name)
            ++count;
    }
    return count;
}

bool HeaderHasToken(const RequestHead& head, std::string_view name, std::string_view token) {
    bool found = false;
    for (const HeaderField& field : head.headers) {
        if (field.name != name)
            continue;
        ForEachListElement(field.value, [&](std::string_view element) {
            if (AsciiLowerCopy(element) == token)
                found = true;
        });
        if (found)
            return true;
    }
    return false;
}

std::string QueryParam(const HttpRequest& request, std::string_view name) {
    std::string_view query = request.query;
    if (query.starts_with('?'))
        query.remove_prefix(1);
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t amp = query.find('&', start);
        const std::size_t end = amp == std::string_view::npos ? query.size() : amp;
        const std::string_view segment = query.substr(start, end - start);
        start = end + 1;
        if (segment.empty())
            continue;
        const std::size_t equals = segment.find('=');
        const std::string_view rawKey = segment.substr(0, equals);
        const std::string_view rawValue =
            equals == std::string_view::npos ? std::string_view() : segment.substr(equals + 1);
        const std::optional<std::string> key = FormDecode(rawKey);
        if (!key || *key != name)
            continue;
        std::optional<std::string> value = FormDecode(rawValue);
        if (!value)
            continue;
        return std::move(*value);
    }
    return {};
}

std::string Cookie(const HttpRequest& request, std::string_view name) {
    const std::string* const header = FindHeader(request.head, "cookie");
    if (!header)
        return {};
    return CookieValue(*header, name);
}

bool ReadAll(HttpBody& body, std::string& out, std::uint64_t maximum) {
    out.clear();
    std::array<std::byte, kReadAllPiece> piece;
    for (;;) {
        std::size_t count = 0;
        if (!body.Read(piece, count))
            return false;
        if (count == 0)
            return true;
        if (out.size() + count > maximum)
            return false;
        out.append(reinterpret_cast<const char*>(piece.data()), count);
    }
}

bool Respond(HttpResponse& response, std::int32_t status, std::string_view contentType,
             std::span<const std::byte> body) {
    if (!contentType.empty())
        response.AddHeader("Content-Type", std::string(contentType));
    if (!response.Begin(status, body.size()))
        return false;
    if (!response.Write(body))
        return false;
    return response.Finish();
}

bool Respond(HttpResponse& response, std::int32_t status, std::string_view contentType,
             std::string_view body) {
    return Respond(response, status, contentType, std::as_bytes(std::span(body)));
}

} // namespace Velto::Corvane
