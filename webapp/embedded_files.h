#pragma once

#include <span>
#include <string_view>

namespace Velto::Corvane {

// One file of the web folder compiled into the program.
struct EmbeddedFile {
    std::string_view name; // path below the web folder, "/"-separated
    std::string_view bytes;
};

// Every file of the web folder, sorted by name. Generated at build time.
std::span<const EmbeddedFile> EmbeddedWebFiles();

} // namespace Velto::Corvane
