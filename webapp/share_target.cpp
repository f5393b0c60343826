#include "webapp/share_target.h"

namespace Velto::Corvane {

std::u16string ShareTarget::DisplayPath() const {
    std::u16string path = u"/";
    if (share != nullptr)
        path += share->name;
    for (const PathComponents* part : {&linkPath, &components}) {
        for (const std::u16string& component : *part) {
            path += u'/';
            path += component;
        }
    }
    return path;
}

} // namespace Velto::Corvane
