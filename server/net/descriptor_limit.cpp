#include "server/net/descriptor_limit.h"

#include <sys/resource.h>

#include <algorithm>

namespace Velto::Net {

void RaiseDescriptorLimit(std::uint64_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= wanted)
        return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY
                         ? static_cast<rlim_t>(wanted)
                         : std::min(limit.rlim_max, static_cast<rlim_t>(wanted));
    (void)::setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace Velto::Net
