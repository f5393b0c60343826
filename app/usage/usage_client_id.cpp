#include "app/usage/usage_client_id.h"

#include "base/clock.h"
#include "base/file_util.h"
#include "base/private_file.h"
#include "base/system_random.h"
#include "base/utf.h"

#include <unistd.h>

namespace App {
namespace {

constexpr std::string_view kFileName = "/UsageId";
constexpr std::size_t kClientIdLength = 32;
constexpr std::size_t kClientIdRandomBytes = kClientIdLength / 2;
// Anything longer is not an id of ours; read no more than this.
constexpr std::size_t kMaxFileBytes = 4096;

} // namespace

std::string LoadOrCreateClientId(const std::string& folder) {
    const std::string path = folder.empty() ? std::string{} : folder + std::string{kFileName};
    if (!path.empty()) {
        // Characters are counted as in the program's other texts; bytes that
        // are not UTF-8 make no id.
        std::string stored;
        std::u16string units;
        if (Velto::Succeeded(Velto::ReadWholeFile(path, stored, kMaxFileBytes)) &&
            Velto::Utf8ToUtf16Strict(stored, units) && units.size() == kClientIdLength)
            return stored;
    }
    std::string id = Velto::RandomHex(kClientIdRandomBytes);
    if (id.empty())
        id = std::to_string(Velto::TickCount64()) + std::to_string(::getpid());
    if (!path.empty())
        (void)Velto::WritePrivateFileAtomically(path, id);
    return id;
}

} // namespace App
