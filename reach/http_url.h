#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The parts of a plain "http://" URL as routers announce them.
struct HttpUrl {
    std::string host; // exactly as written (no brackets, no user information)
    std::uint16_t port{80};
    std::string path; // from the first "/" after the authority, "/" when there is none
};

// Accepts only "http://" URLs (any letter case) with a non-empty host, an
// optional port of 1 to 65535, and neither user information nor IPv6 literals.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);

// Resolves a reference found in a device description against the URL it came
// from; empty when the base has no "//".
std::string ResolveUrl(std::string_view base, std::string_view reference);

// Case-insensitive ASCII prefix test.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

} // namespace Velto::Corvane
