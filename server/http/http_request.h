#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Velto::Corvane {

struct HeaderField {
    std::string name;  // ASCII lower-cased
    std::string value; // leading and trailing spaces and tabs removed
};

// A parsed request head. Duplicate headers stay, in arrival order.
struct RequestHead {
    std::string method;
    std::string target;
    std::int32_t version{1}; // 1 for HTTP/1.1, 0 for HTTP/1.0
    std::vector<HeaderField> headers;
};

struct HttpRequest {
    std::string method; // exactly as received, case preserved
    std::string target; // exactly as received; always begins with "/"
    std::string path;   // target before the first "?", percent-decoded ("+" kept)
    std::string query;  // raw text after the first "?", not decoded
    RequestHead head;
    std::string peer; // the client's IP address text
    bool secure{false};
};

enum class BodyKind { None = 0, Length = 1, Chunked = 2 };

} // namespace Velto::Corvane
