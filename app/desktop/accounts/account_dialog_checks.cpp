#include "app/desktop/accounts/account_dialog_checks.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"
#include "config/password_hash.h"

#include <algorithm>

namespace App {

namespace {

using Velto::Corvane::AccessFlags;
using Velto::Corvane::Account;
using Velto::Corvane::Config;

FormError Error(TextId message, AccountField field) {
    return FormError{message, static_cast<std::int32_t>(field)};
}

} // namespace

RightsRow RightsRow::FromMask(AccessFlags mask) {
    const AccessFlags normal = Velto::Corvane::NormalizeAccess(mask);
    return RightsRow{Velto::Corvane::HasAccess(normal, AccessFlags::Read),
                     Velto::Corvane::HasAccess(normal, AccessFlags::Write),
                     Velto::Corvane::HasAccess(normal, AccessFlags::Delete)};
}

AccessFlags RightsRow::Mask() const {
    AccessFlags mask = AccessFlags::None;
    if (read)
        mask |= AccessFlags::Read;
    if (write)
        mask |= AccessFlags::Write;
    if (remove)
        mask |= AccessFlags::Delete;
    return mask;
}

void RightsRow::SetRead(bool checked) {
    read = checked;
    if (!checked) {
        write = false;
        remove = false;
    }
}

void RightsRow::SetWrite(bool checked) {
    write = checked;
    if (checked)
        read = true;
}

void RightsRow::SetRemove(bool checked) {
    remove = checked;
    if (checked)
        read = true;
}

std::vector<RightsRow> RightsRowsFor(const Config& config, const Account& account) {
    std::vector<RightsRow> rows;
    rows.reserve(config.shares.size());
    for (const auto& share : config.shares) {
        const auto entry = account.access.find(share.id);
        rows.push_back(
            RightsRow::FromMask(entry == account.access.end() ? AccessFlags::None : entry->second));
    }
    return rows;
}

std::map<std::string, AccessFlags> AccessFromRows(const Config& config,
                                                  const std::vector<RightsRow>& rows) {
    std::map<std::string, AccessFlags> access;
    const std::size_t count = std::min(rows.size(), config.shares.size());
    for (std::size_t i = 0; i < count; ++i) {
        const AccessFlags mask = rows[i].Mask();
        if (mask != AccessFlags::None)
            access[config.shares[i].id] = Velto::Corvane::NormalizeAccess(mask);
    }
    return access;
}

std::optional<FormError> ValidateAccountForm(const Config& config, const Account& account,
                                             bool isNew, const AccountFormInput& input) {
    const std::u16string name = TrimSpacesAndTabs(input.name);
    if (name.empty())
        return Error(TextId::EnterName, AccountField::Name);
    if (!Velto::Corvane::IsValidAccountName(name))
        return Error(TextId::NameNoColon, AccountField::Name);
    const bool taken =
        std::any_of(config.accounts.begin(), config.accounts.end(), [&](const Account& other) {
            return Velto::EqualsIgnoreCase(other.name, name) &&
                   (isNew || !Velto::EqualsIgnoreCase(other.name, account.name));
        });
    if (taken)
        return Error(TextId::AccountExists, AccountField::Name);
    if (isNew && input.password.empty())
        return Error(TextId::EnterPassword, AccountField::Password);
    if (input.password != input.confirmation)
        return Error(TextId::PasswordsDiffer, AccountField::Confirmation);
    return std::nullopt;
}

bool ApplyAccountForm(const Config& config, Account& account, const AccountFormInput& input) {
    std::string password = account.password;
    if (!input.password.empty()) {
        password = Velto::Corvane::HashPassword(Velto::Utf16ToUtf8(input.password),
                                                Velto::Corvane::kPasswordIterations);
        if (password.empty())
            return false;
    }
    account.name = TrimSpacesAndTabs(input.name);
    account.password = std::move(password);
    account.access = AccessFromRows(config, input.rights);
    return true;
}

} // namespace App
