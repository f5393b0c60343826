#pragma once

#include "app/desktop/shares/share_dialog_checks.h"
#include "config/config.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The account dialog's checks, without widgets: the rights boxes' rules and
// the first problem of what was typed. The content
// (account_dialog_content.h) shows them; the window (account_dialog.h) runs it.

namespace App {

enum class AccountField : std::int32_t { Name = 0, Password = 1, Confirmation = 2 };

// One share's row of check boxes in the account dialog.
struct RightsRow {
    bool read{false};
    bool write{false};
    bool remove{false};

    static RightsRow FromMask(Velto::Corvane::AccessFlags mask);
    // The mask the boxes stand for, not yet normalised.
    Velto::Corvane::AccessFlags Mask() const;
    // The boxes hang together: no writing or deleting without reading.
    void SetRead(bool checked);
    void SetWrite(bool checked);
    void SetRemove(bool checked);
};

// The rows for every share of the configuration, in its order, from the
// account's stored rights (none where it has no entry).
std::vector<RightsRow> RightsRowsFor(const Velto::Corvane::Config& config,
                                     const Velto::Corvane::Account& account);

// The account's rights from the rows: one normalised entry per share whose
// row grants anything.
std::map<std::string, Velto::Corvane::AccessFlags>
AccessFromRows(const Velto::Corvane::Config& config, const std::vector<RightsRow>& rows);

struct AccountFormInput {
    std::u16string name;
    std::u16string password;
    std::u16string confirmation;
    std::vector<RightsRow> rights;
};

// The first problem of the input: a missing or invalid name, a name another
// account has (ignoring case; re-casing the account's own name is fine), a new
// account without a password, a confirmation that differs.
std::optional<FormError> ValidateAccountForm(const Velto::Corvane::Config& config,
                                             const Velto::Corvane::Account& account, bool isNew,
                                             const AccountFormInput& input);

// Writes accepted input into the account; false when hashing a typed password
// failed, and then the account is left as it was.
bool ApplyAccountForm(const Velto::Corvane::Config& config, Velto::Corvane::Account& account,
                      const AccountFormInput& input);

} // namespace App
