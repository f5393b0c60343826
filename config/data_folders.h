#pragma once

#include <string>

namespace Velto::Corvane {

// The folders the program keeps its files in, from the environment at the time
// of the call. VELTO_CORVANE_DATA_DIR (when set, not empty and shorter than 1024
// bytes) holds config.json and logs/ itself; otherwise the XDG base folders are
// used (an unset or relative XDG variable falls back to its default under HOME).
// An empty result means no usable location exists (no HOME at all).

// The value of VELTO_CORVANE_DATA_DIR, or empty when it does not count as set.
std::string DataFolderOverride();

// <data folder>/config.json, else $XDG_CONFIG_HOME/VeltoCorvane/config.json.
std::string ConfigFilePath();

// <data folder>/logs, else $XDG_STATE_HOME/VeltoCorvane/logs.
std::string LogsFolderPath();

// <data folder>/uploads, else $XDG_STATE_HOME/VeltoCorvane/uploads: the state of
// unfinished uploads, so that they can go on (or be cleaned up) after a restart.
std::string UploadsFolderPath();

// $XDG_CONFIG_HOME (or HOME/.config) itself, whatever the data folder: the
// desktop's own per-user settings live under it (autostart/, for example).
std::string ConfigHomeFolder();

// $XDG_DATA_HOME/VeltoCorvane/secret.key: the per-user key that protects stored
// secrets. Never inside the data folder, so a copied data folder carries no key.
std::string SecretKeyFilePath();

} // namespace Velto::Corvane
