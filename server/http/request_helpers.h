#pragma once

#include "server/http/http_body.h"
#include "server/http/http_request.h"
#include "server/http/http_response.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Helpers handlers use on requests and responses. Header names are compared
// byte for byte with the stored (lower-case) names, so callers pass lower case.
const std::string* FindHeader(const RequestHead& head, std::string_view name);
std::size_t CountHeaders(const RequestHead& head, std::string_view name);
// True when some header `name` lists `token` (given in lower case) among its
// comma-separated elements, compared without regard to ASCII case.
bool HeaderHasToken(const RequestHead& head, std::string_view name, std::string_view token);

// The form-decoded value of query parameter `name`; empty when absent.
std::string QueryParam(const HttpRequest& request, std::string_view name);
// The value of cookie `name` from the first Cookie header; empty when absent.
std::string Cookie(const HttpRequest& request, std::string_view name);

// Reads the whole body into `out`; false when a read fails or the body is
// longer than `maximum` bytes.
bool ReadAll(HttpBody& body, std::string& out, std::uint64_t maximum);

// A complete response in one call: optional Content-Type, Begin, Write, Finish.
bool Respond(HttpResponse& response, std::int32_t status, std::string_view contentType,
             std::span<const std::byte> body);
bool Respond(HttpResponse& response, std::int32_t status, std::string_view contentType,
             std::string_view body);

} // namespace Velto::Corvane
