#include "webapp/embedded_assets.h"

namespace Velto::Corvane {

std::optional<std::string> EmbeddedAssets::GetAsset(std::string_view name) const {
    for (const EmbeddedFile& file : m_files) {
        if (file.name == name)
            return std::string(file.bytes);
    }
    return std::nullopt;
}

} // namespace Velto::Corvane
