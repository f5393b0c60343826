#pragma once

#include <array>
#include <string>

namespace Velto::Corvane {

constexpr std::size_t kSecretKeyBytes = 32;
using SecretKey = std::array<unsigned char, kSecretKeyBytes>;

// Reads the per-user key file: a regular file of exactly 32 bytes owned by this
// user. With `createIfMissing` a missing file is made from fresh random bytes,
// mode 0600 in a 0700 folder, and published atomically so that two processes
// racing to create it end up with the same key. False when no key is available.
bool LoadSecretKey(const std::string& path, bool createIfMissing, SecretKey& key);

} // namespace Velto::Corvane
