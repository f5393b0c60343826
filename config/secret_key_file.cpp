#include "config/secret_key_file.h"

#include "base/file_util.h"
#include "base/interrupt_retry.h"
#include "base/private_file.h"
#include "base/system_random.h"
#include "base/unique_fd.h"

#include <openssl/crypto.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Velto::Corvane {
namespace {

constexpr mode_t kKeyFolderMode = 0700;

bool ReadKey(const std::string& path, SecretKey& key) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd)
        return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_size != static_cast<off_t>(key.size()))
        return false;
    std::size_t got = 0;
    while (got < key.size()) {
        const ssize_t n =
            RetryOnInterrupt([&] { return ::read(fd.Get(), key.data() + got, key.size() - got); });
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes a fresh key under a temporary name and links it into place; link()
// never replaces, so a key another process published first wins.
bool CreateKey(const std::string& path, SecretKey& key) {
    const std::string folder = ParentPath(path);
    if (folder.empty() || Failed(CreateDirectories(folder, kKeyFolderMode)))
        return false;
    if (!FillRandom(key.data(), key.size()))
        return false;
    std::string temp;
    if (Failed(WritePrivateTemporary(
            path, std::string_view(reinterpret_cast<const char*>(key.data()), key.size()), temp)))
        return false;
    const int linked = ::link(temp.c_str(), path.c_str());
    const int linkError = errno;
    ::unlink(temp.c_str());
    if (linked == 0) {
        SyncDirectoryOf(path);
        return true;
    }
    OPENSSL_cleanse(key.data(), key.size());
    return linkError == EEXIST && ReadKey(path, key);
}

} // namespace

bool LoadSecretKey(const std::string& path, bool createIfMissing, SecretKey& key) {
    if (path.empty())
        return false;
    if (ReadKey(path, key))
        return true;
    OPENSSL_cleanse(key.data(), key.size());
    // Only a missing file is replaced by a new one: a damaged key is kept, since
    // writing a new one would not bring back what the old one protected.
    if (!createIfMissing || FileExists(path))
        return false;
    return CreateKey(path, key);
}

} // namespace Velto::Corvane
