#include "webapp/uploads/final_name.h"

#include "base/utf.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/rename_at.h"
#include "webapp/numbered_name.h"

#include <cerrno>
#include <cstdint>

namespace Velto::Corvane {

namespace {

constexpr std::uint32_t kMaxNumberedName = 9999;

} // namespace

std::u16string MoveToFinalName(int folderFd, const std::string& temp, const std::u16string& name,
                               bool overwrite, bool numbered) {
    if (overwrite)
        return RenameReplacing(folderFd, temp, folderFd, Utf16ToUtf8(name)) == 0 ? name
                                                                                 : std::u16string();
    const std::uint32_t last = numbered ? kMaxNumberedName : 1;
    for (std::uint32_t n = 1; n <= last; ++n) {
        const std::u16string candidate = n == 1 ? name : MakeNumberedName(name, n);
        const std::string bytes = Utf16ToUtf8(candidate);
        if (candidate.size() > kMaxItemNameUnits || bytes.size() > kMaxItemNameBytes)
            break;
        const int err = RenameNoReplace(folderFd, temp, folderFd, bytes);
        if (err == 0)
            return candidate;
        if (err != EEXIST)
            break;
    }
    return {};
}

} // namespace Velto::Corvane
