#include "webapp/uploads/record_file.h"

#include "base/file_util.h"
#include "base/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace Velto::Corvane {

namespace {
constexpr mode_t kRecordMode = 0600;
} // namespace

bool WritePrivateUnflushed(const std::string& path, std::string_view bytes) {
    UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kRecordMode));
    if (!fd)
        return false;
    if (Failed(WriteAll(fd.Get(), bytes))) {
        fd.Reset();
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

} // namespace Velto::Corvane
