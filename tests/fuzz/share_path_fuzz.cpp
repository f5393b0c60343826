#include "base/utf.h"
#include "server/http/percent_coding.h"
#include "webapp/fs/item_name.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

using namespace Velto;
using namespace Velto::Corvane;

namespace {

// What every component that reaches the file system must be: never empty,
// "." or "..", never a "/", NUL, control or DEL, well-formed and within
// NAME_MAX.
void CheckComponent(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        std::abort();
    for (const char16_t unit : name) {
        if (unit < 0x20 || unit == 0x7F || unit == u'/')
            std::abort();
    }
    if (!IsWellFormedUtf16(name) || Utf16ToUtf8(name).size() > kMaxItemNameBytes)
        std::abort();
}

void CheckPath(std::u16string_view text) {
    const std::optional<PathComponents> components = ParseSharePath(text);
    if (!components)
        return;
    if (components->size() > kMaxPathComponents)
        std::abort();
    for (const std::u16string& component : *components)
        CheckComponent(component);
    // Joining and parsing again gives the same components.
    if (ParseSharePath(JoinComponents(*components)) != components)
        std::abort();
}

} // namespace

// The ways a request's bytes become item paths: a URL path percent-decoded
// (downloads and uploads), a JSON string taken as is (listings, mkdir, rename,
// delete, ZIP), and a name read from a folder.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const std::optional<std::string> decoded = PercentDecode(input, false))
        CheckPath(Utf8ToUtf16(*decoded));
    CheckPath(Utf8ToUtf16(input));
    if (const std::optional<std::u16string> name = ItemNameFromBytes(input))
        CheckComponent(*name);
    return 0;
}
