#include "instance/runtime_folder.h"

#include "base/environment_variable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace Velto::Instance {
namespace {

constexpr mode_t kPrivateFolderMode = 0700;
constexpr std::string_view kFallbackParent = "/tmp";
constexpr std::string_view kFallbackPrefix = "velto-";

bool IsUsableOwnFolder(const std::string& path, bool requirePrivate) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (!requirePrivate)
        return ::access(path.c_str(), W_OK | X_OK) == 0;
    return st.st_uid == ::geteuid() && (st.st_mode & 0077) == 0;
}

bool IsStemByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

std::uint64_t Fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

std::optional<std::string> UserRuntimeFolder() {
    const std::string runtime = EnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/' && IsUsableOwnFolder(runtime, false))
        return runtime;

    const std::string fallback = std::string(kFallbackParent) + "/" + std::string(kFallbackPrefix) +
                                 std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST)
        return std::nullopt;
    // A folder someone else made in /tmp under our name is never used.
    if (!IsUsableOwnFolder(fallback, true))
        return std::nullopt;
    return fallback;
}

std::string RuntimeFileStem(std::string_view name, std::string_view folder,
                            std::size_t longestSuffix, std::size_t maxPathBytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string stem;
    for (const unsigned char c : name) {
        if (IsStemByte(c)) {
            stem.push_back(static_cast<char>(c));
            continue;
        }
        stem.push_back('%');
        stem.push_back(kHex[c >> 4]);
        stem.push_back(kHex[c & 0xF]);
    }
    // "." and ".." (and an empty name) are not names of files of their own.
    if (stem.empty() || stem == "." || stem == "..")
        stem.insert(0, "instance");
    if (folder.size() + 1 + stem.size() + longestSuffix <= maxPathBytes)
        return stem;
    std::uint64_t hash = Fnv1a64(name);
    std::string hashed = "instance-";
    for (int shift = 60; shift >= 0; shift -= 4)
        hashed.push_back(kHex[(hash >> shift) & 0xF]);
    return hashed;
}

} // namespace Velto::Instance
