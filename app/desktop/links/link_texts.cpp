#include "app/desktop/links/link_texts.h"

#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "app/texts/value_format.h"
#include "base/clock.h"
#include "base/utf.h"

namespace App {

namespace {

using Velto::Corvane::Config;
using Velto::Corvane::LinkMode;
using Velto::Corvane::ShareLink;

// "YYYY-MM-DD hh:mm" of the "YYYY-MM-DD hh:mm:ss" the log shows.
constexpr std::size_t kDateAndMinutes = 16;

std::u16string ExpiryDate(std::int64_t seconds) {
    const std::string text = FormatLocalFileTime(Velto::FileTimeFromUnix(seconds, 0));
    return Velto::Utf8ToUtf16(text.substr(0, kDateAndMinutes));
}

} // namespace

std::u16string LinkAddress(const std::u16string& serverAddress, const ShareLink& link) {
    if (serverAddress.empty())
        return {};
    return serverAddress + u"/s/" + Velto::Utf8ToUtf16(link.token);
}

std::u16string LinkShownName(const Config& config, const ShareLink& link) {
    if (!link.label.empty())
        return link.label;
    if (!link.path.empty())
        return link.path.substr(link.path.find_last_of(u'/') + 1);
    const Velto::Corvane::Share* share = config.FindShareById(link.shareId);
    return share ? share->name : std::u16string{};
}

std::u16string LinkTargetText(const Config& config, const ShareLink& link) {
    const Velto::Corvane::Share* share = config.FindShareById(link.shareId);
    std::u16string text = share ? share->name : std::u16string{};
    if (!link.path.empty())
        text += u"/" + link.path;
    return text;
}

std::u16string LinkModeText(const ShareLink& link, UiLanguage language) {
    std::u16string text = Text(
        link.mode == LinkMode::Upload ? TextId::LinkUploadShort : TextId::LinkViewShort, language);
    if (!link.password.empty())
        text += u", " + Text(TextId::PasswordBadge, language);
    return text;
}

std::u16string LinkExpiryText(const ShareLink& link, std::int64_t now, UiLanguage language) {
    if (link.expires == 0)
        return Text(TextId::ExpiryNever, language);
    const std::u16string date = ExpiryDate(link.expires);
    if (link.ExpiredAt(now))
        return Format(TextId::ExpiredOn, language, {date});
    return date;
}

std::int64_t LinkClockNow() {
    return Velto::UnixSecondsFromFileTime(Velto::NowFileTime());
}

} // namespace App
