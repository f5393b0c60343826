#include "thumbnailer/helper_limits.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace Velto::Thumbnailer {

namespace {

// Generous for a 12-megapixel photo decoded with shrink-on-load or a video
// frame; far below what a decompression bomb would need.
constexpr rlim_t kAddressSpaceBytes = rlim_t{1} << 30;
constexpr rlim_t kCpuSeconds = 10;
// The largest image a desktop thumbnailer may write as its result.
constexpr rlim_t kOutputFileBytes = rlim_t{64} << 20;

bool Limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    return ::setrlimit(resource, &limit) == 0;
}

} // namespace

bool ApplyHelperLimits() {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    // The server may die without killing its helper; the helper goes too.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0)
        return false;
    return Limit(RLIMIT_AS, kAddressSpaceBytes) && Limit(RLIMIT_CPU, kCpuSeconds) &&
           Limit(RLIMIT_FSIZE, kOutputFileBytes) && Limit(RLIMIT_CORE, 0);
}

} // namespace Velto::Thumbnailer
