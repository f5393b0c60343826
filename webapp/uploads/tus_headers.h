#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The request headers of the resumable-upload protocol (tus 1.0.0).

constexpr std::string_view kTusVersion = "1.0.0";
constexpr std::string_view kTusExtensions = "creation,termination,expiration";
constexpr std::string_view kTusContentType = "application/offset+octet-stream";
// Upload-Metadata holds at most this many pairs.
constexpr std::size_t kMaxMetadataPairs = 32;

// Upload-Length and Upload-Offset: decimal digits only, no sign, no spaces,
// at most 2^63 - 1 (the largest size a file can have).
std::optional<std::uint64_t> ParseTusSize(std::string_view text);

// Upload-Metadata: comma-separated pairs of a key and an optional value in
// standard base64 with padding, separated by one space. Keys are 1 or more
// printable ASCII characters without space or comma and appear once. None
// when any part breaks these rules.
std::optional<std::map<std::string, std::string, std::less<>>>
ParseUploadMetadata(std::string_view text);

} // namespace Velto::Corvane
