#pragma once

#include "app/texts/text_ids.h"
#include "config/config.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The share dialog's checks, without widgets: its limits, the choices it
// offers, and the first problem of what was typed. The content
// (share_dialog_content.h) shows them; the window (share_dialog.h) runs it.

namespace App {

// The share dialog's limits.
constexpr std::size_t kMaxNameUnits = 64;
constexpr std::int64_t kBytesPerMegabyte = 1048576;
constexpr double kMaxUploadMegabytes = 1048576;

// The guest choices of the share dialog, in list order; a file offers only
// the first two.
enum class GuestChoice : std::int32_t { NotOpen = 0, Read = 1, ReadWrite = 2, ReadWriteDelete = 3 };

GuestChoice GuestChoiceFor(Velto::Corvane::AccessFlags guest, bool isFile);
Velto::Corvane::AccessFlags GuestRightsFor(GuestChoice choice);

// The upload limit in whole megabytes, rounded up, and back.
double UploadLimitMegabytes(std::int64_t maxUploadBytes);
std::int64_t UploadLimitBytes(double megabytes);

std::u16string TrimSpacesAndTabs(std::u16string_view text);
// The path as stored: trailing slashes dropped, except the root's own.
std::u16string StoredSharePath(std::u16string_view path);
// The name a browsed path proposes when the name box is empty: its last
// component, when that is a valid share name.
std::optional<std::u16string> NameFromBrowsedPath(std::u16string_view path);

// What the share dialog holds when OK is pressed.
struct ShareFormInput {
    std::u16string name;
    std::u16string path;
    bool askPassword{false};
    std::u16string password; // as typed; empty keeps a stored one
    GuestChoice guest{GuestChoice::Read};
    bool readOnly{false};
    double uploadMegabytes{0};
};

enum class ShareField : std::int32_t { Name = 0, Path = 1, Password = 2 };

struct FormError {
    TextId message{TextId::EnterName};
    std::int32_t field{0}; // ShareField or AccountField
};

// The first problem of the input for `share` (which may be new, not in
// `config` yet): a missing, invalid or taken name, a missing path or one that
// is not a folder (or not a file), a password asked for but never set.
std::optional<FormError> ValidateShareForm(const Velto::Corvane::Config& config,
                                           const Velto::Corvane::Share& share,
                                           const ShareFormInput& input);

// Writes accepted input into the share. A typed password is hashed; false
// when hashing failed, and then the share is left as it was.
bool ApplyShareForm(Velto::Corvane::Share& share, const ShareFormInput& input);

} // namespace App
