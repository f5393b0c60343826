#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// A resumable upload belongs to the browser (or client) that created it: the
// server hands out a random upload key in a cookie and keeps only its hash.
// Unlike a session, the key outlives a restart of the server, so an upload
// can go on after one; a signed-in creator's account must match as well.
constexpr std::string_view kUploadKeyCookie = "vcu";
constexpr std::size_t kUploadKeyBytes = 16;

// 32 lower-case hexadecimal characters: a key the server could have made.
bool IsUploadKey(std::string_view key);
// SHA-256 of the key, in hexadecimal; empty when hashing fails.
std::string UploadOwnerHash(std::string_view key);

} // namespace Velto::Corvane
