#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The name and password of an "Authorization: Basic" header.
struct BasicCredentials {
    std::string name;
    std::string password;
};

// None when the header is not Basic, its base64 is malformed, it has no ":",
// or the name or password is not well-formed UTF-8.
std::optional<BasicCredentials> ParseBasicAuthorization(std::string_view header);

} // namespace Velto::Corvane
