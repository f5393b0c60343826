#pragma once

#include "config/config.h"
#include "json/json.h"

#include <string>

namespace Velto::Corvane {

// Flags named by an array of "read", "write", "delete" (exact strings; anything
// else is ignored; a non-array gives none), normalized.
AccessFlags AccessFromNames(const JsonValue& value);
// The names of the set bits, in the order read, write, delete.
JsonValue AccessToNames(AccessFlags flags);

// The document of config.json, keys in their fixed order.
JsonValue ConfigToJson(const Config& config);
// A Config from a document: wrong kinds and out-of-range values take their
// defaults; invalid or duplicate shares and accounts are dropped one by one.
Config ConfigFromJson(const JsonValue& root);

// Fills `config` from the file. A missing file leaves `config` as it is and
// succeeds. A file that cannot be read or parsed, or whose root is not an
// object, fails and leaves both `config` and the file untouched.
bool LoadConfig(const std::string& path, Config& config);

// Writes the document, indented, with a final line feed, privately and atomically.
bool SaveConfig(const std::string& path, const Config& config);

} // namespace Velto::Corvane
