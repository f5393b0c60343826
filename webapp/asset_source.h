#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Where the web application finds the files of the browser client.
class IAssetSource {
public:
    virtual ~IAssetSource() = default;
    // The file's content for a name such as "index.html" (compared byte for
    // byte), or none for an unknown name.
    virtual std::optional<std::string> GetAsset(std::string_view name) const = 0;
};

} // namespace Velto::Corvane
