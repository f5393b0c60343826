#include "webapp/uploads/boot_id.h"

#include "base/file_util.h"

namespace Velto::Corvane {

namespace {
constexpr std::size_t kMaxBootIdBytes = 64;
} // namespace

std::string CurrentBootId() {
    std::string text;
    if (Failed(ReadWholeFile("/proc/sys/kernel/random/boot_id", text, kMaxBootIdBytes)))
        return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace Velto::Corvane
