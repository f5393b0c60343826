#pragma once

#include "webapp/asset_source.h"
#include "webapp/embedded_files.h"

#include <span>

namespace Velto::Corvane {

// Serves the files of the web folder that were compiled into the program.
class EmbeddedAssets final : public IAssetSource {
public:
    EmbeddedAssets() : m_files(EmbeddedWebFiles()) {}
    explicit EmbeddedAssets(std::span<const EmbeddedFile> files) : m_files(files) {}

    std::optional<std::string> GetAsset(std::string_view name) const override;

private:
    std::span<const EmbeddedFile> m_files;
};

} // namespace Velto::Corvane
