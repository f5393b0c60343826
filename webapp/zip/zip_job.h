#pragma once

#include "webapp/fs/item_name.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Velto::Corvane {

// A prepared ZIP download: what to pack, for whom, until when. Used once.
struct ZipJob {
    std::string shareId;               // the share's id, so a renamed share still matches
    std::string linkId;                // the link it was asked through; empty otherwise
    PathComponents folder;             // the folder the names are in
    std::vector<std::u16string> names; // chosen items, in the order given
    std::string owner;                 // the preparing session's id, or empty
    std::string client;                // the preparing address's group (per-client limit)
    std::uint64_t expires{0};          // tick in ms
};

} // namespace Velto::Corvane
