// Sessions, sign-in and sign-out, share unlock, the share gate, and what a
// configuration change revokes.
#include "webapp/web_app.h"

#include "base/utf.h"
#include "config/password_hash.h"
#include "server/http/request_helpers.h"

#include <string>

namespace Velto::Corvane {

namespace {

constexpr std::uint64_t kMsPerSecond = 1000;

// A name that matches no account is checked against this hash, so an unknown
// name costs as much time as a known one with a wrong password. Made once, on
// first use; the local static is initialised safely when threads race for it.
const std::string& DummyHash() {
    static const std::string hash = HashPassword("tessel-quarrel-filler", kPasswordIterations);
    return hash;
}

JsonValue EmptyObject() {
    return JsonValue::MakeObject();
}

} // namespace

bool WebApp::IsUnlocked(const Context& context, const Share& share) const {
    return context.session && context.session->unlockedShares.contains(share.id);
}

void WebApp::ReplyLocked(Context& context, std::uint64_t remainingMs) {
    const std::uint64_t seconds = (remainingMs + kMsPerSecond - 1) / kMsPerSecond;
    context.response.AddHeader("Retry-After", std::to_string(seconds));
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("error", JsonValue("tooMany"));
    reply.Set("retryAfter", JsonValue(static_cast<double>(seconds)));
    SendJson(context.response, 429, reply);
}

bool WebApp::CheckLockout(Context& context) {
    const std::uint64_t remaining = m_limiter.RemainingLock(context.request.peer, context.now);
    if (remaining == 0)
        return true;
    ReplyLocked(context, remaining);
    return false;
}

void WebApp::SetSessionCookie(Context& context, std::string_view id, bool clear) {
    std::string value(kSessionCookie);
    value += '=';
    if (!clear)
        value += id;
    value += "; Path=/; HttpOnly; SameSite=Strict";
    if (clear)
        value += "; Max-Age=0";
    if (context.request.secure)
        value += "; Secure";
    context.response.AddHeader("Set-Cookie", std::move(value));
}

void WebApp::GetSession(Context& context) {
    JsonValue reply = JsonValue::MakeObject();
    reply.Set("user", context.account != nullptr ? JsonValue(Utf16ToUtf8(context.account->name))
                                                 : JsonValue());
    reply.Set("accounts", JsonValue(!context.config->accounts.empty()));
    reply.Set("secure", JsonValue(context.request.secure));
    if (JsonValue link = SessionLink(context); link.Kind() == JsonKind::Object)
        reply.Set("link", std::move(link));
    SendJson(context.response, 200, reply);
}

void WebApp::Login(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    // The attempt is counted before its password is checked, so requests
    // sent at once get no more passwords checked than requests sent in turn.
    AttemptLimiter::Admission admission = m_limiter.Begin(context.request.peer, context.now);
    if (!admission.attempt)
        return ReplyLocked(context, admission.waitMs);
    AttemptLimiter::Attempt& attempt = *admission.attempt;
    const std::u16string name = Utf8ToUtf16(body.Get("name").AsString());
    const std::string& password = body.Get("password").AsString();

    const Account* account = context.config->FindAccount(name);
    bool verified = false;
    {
        const PasswordCheckSlots::Slot slot = m_passwordChecks.Take();
        if (account != nullptr)
            verified = VerifyPassword(account->password, password);
        else
            (void)VerifyPassword(DummyHash(), password);
    }
    if (verified) {
        attempt.Succeeded();
        // Signing in always starts a new session, so a cookie planted before
        // the sign-in is worth nothing afterwards.
        if (context.session)
            m_sessions.Remove(context.session->id);
        const std::string id = m_sessions.Create(account->name, context.now);
        if (id.empty())
            return SendError(context.response, 500, "failed");
        // The password may have changed while it was being verified; if the
        // revocation of that change already ran, it could not see this new
        // session, so the session is withdrawn here instead.
        if (!PasswordStillCurrent(*account)) {
            m_sessions.Remove(id);
            LogAccess(context, "loginFailed", name, 401, 0);
            return SendError(context.response, 401, "badLogin");
        }
        context.account = account;
        SetSessionCookie(context, id, false);
        LogAccess(context, "login", account->name, 200, 0);
        JsonValue reply = JsonValue::MakeObject();
        reply.Set("user", JsonValue(Utf16ToUtf8(account->name)));
        return SendJson(context.response, 200, reply);
    }
    const std::uint64_t lock = attempt.Failed(context.now);
    LogAccess(context, "loginFailed", name, 401, 0);
    if (lock != 0)
        return ReplyLocked(context, lock);
    SendError(context.response, 401, "badLogin");
}

void WebApp::Logout(Context& context) {
    if (context.session)
        m_sessions.Remove(context.session->id);
    SetSessionCookie(context, {}, true);
    SendJson(context.response, 200, EmptyObject());
}

void WebApp::Unlock(Context& context) {
    JsonValue body;
    if (!ReadJsonBody(context, body))
        return;
    AttemptLimiter::Admission admission = m_limiter.Begin(context.request.peer, context.now);
    if (!admission.attempt)
        return ReplyLocked(context, admission.waitMs);
    AttemptLimiter::Attempt& attempt = *admission.attempt;
    const std::string& shareText = body.Get("share").AsString();
    if (shareText.starts_with(':'))
        return UnlockLink(context, std::string_view(shareText).substr(1),
                          body.Get("password").AsString(), attempt);
    const Share* share = context.config->FindShareByName(Utf8ToUtf16(shareText));
    // Unlocking a share without a password, or one whose password grants
    // nothing, would give nothing: such a share does not take passwords.
    if (share == nullptr || share->password.empty() ||
        NormalizeAccess(share->guest) == AccessFlags::None)
        return SendError(context.response, 404, "notFound");

    bool verified = false;
    {
        const PasswordCheckSlots::Slot slot = m_passwordChecks.Take();
        verified = VerifyPassword(share->password, body.Get("password").AsString());
    }
    if (verified) {
        attempt.Succeeded();
        std::string id;
        if (context.session) {
            id = context.session->id;
        } else {
            id = m_sessions.Create(u"", context.now);
            if (id.empty())
                return SendError(context.response, 500, "failed");
            SetSessionCookie(context, id, false);
        }
        m_sessions.AddUnlock(id, share->id);
        // As with sign-in: an unlock with a password that was replaced while
        // it was verified must not outlive the revocation of the change.
        if (!PasswordStillCurrent(*share)) {
            m_sessions.ForgetUnlock(share->id);
            LogAccess(context, "unlockFailed", u"/" + share->name, 401, 0);
            return SendError(context.response, 401, "badPassword");
        }
        return SendJson(context.response, 200, EmptyObject());
    }

    const std::uint64_t lock = attempt.Failed(context.now);
    LogAccess(context, "unlockFailed", u"/" + share->name, 401, 0);
    if (lock != 0)
        return ReplyLocked(context, lock);
    SendError(context.response, 401, "badPassword");
}

bool WebApp::OpenShare(Context& context, std::u16string_view shareName,
                       std::u16string_view itemPath, AccessFlags required, ShareTarget& out) {
    const std::optional<GateRefusal> refusal =
        CheckShare(context, shareName, itemPath, required, out);
    if (!refusal)
        return true;
    SendError(context.response, refusal->status, refusal->code);
    return false;
}

std::optional<WebApp::GateRefusal>
WebApp::CheckShare(const Context& context, std::u16string_view shareName,
                   std::u16string_view itemPath, AccessFlags required, ShareTarget& out) const {
    // Share names never hold ':', so this one names a link the visitor opened.
    if (shareName.starts_with(u':'))
        return CheckLink(context, shareName.substr(1), itemPath, required, out);
    const Share* share = context.config->FindShareByName(shareName);
    if (share == nullptr)
        return GateRefusal{404, "notFound"};
    const AccessFlags rights = share->EffectiveAccess(context.account, IsUnlocked(context, *share));
    const bool hasAccounts = !context.config->accounts.empty();
    if (rights == AccessFlags::None) {
        if (!share->password.empty() && NormalizeAccess(share->guest) != AccessFlags::None)
            return GateRefusal{401, "locked"};
        if (context.account == nullptr && hasAccounts)
            return GateRefusal{401, "signIn"};
        return GateRefusal{404, "notFound"};
    }
    if (!HasAccess(rights, required)) {
        if (context.account != nullptr || !hasAccounts)
            return GateRefusal{403, "forbidden"};
        return GateRefusal{401, "signIn"};
    }
    std::optional<PathComponents> components = ParseSharePath(itemPath);
    if (!components)
        return GateRefusal{400, "badPath"};
    std::optional<ShareRoot> root = ResolveShareRoot(share->path, share->file);
    if (!root)
        return GateRefusal{404, "shareMissing"};
    out.share = share;
    out.root = std::move(*root);
    out.components = std::move(*components);
    out.rights = rights;
    out.name = share->name;
    out.title = share->name;
    return std::nullopt;
}

bool WebApp::PasswordStillCurrent(const Account& account) const {
    const Account* current = CurrentConfig()->FindAccount(account.name);
    return current != nullptr && current->password == account.password;
}

bool WebApp::PasswordStillCurrent(const Share& share) const {
    const Share* current = CurrentConfig()->FindShareById(share.id);
    return current != nullptr && current->password == share.password;
}

void WebApp::Revoke(const Config& previous, const Config& next) {
    for (const Share& share : previous.shares) {
        const Share* now = next.FindShareById(share.id);
        if (now == nullptr || now->password != share.password)
            m_sessions.ForgetUnlock(share.id);
    }
    for (const ShareLink& link : previous.links) {
        const ShareLink* now = next.FindLinkById(link.id);
        if (now == nullptr || now->password != link.password)
            m_sessions.ForgetLinkUnlock(link.id);
    }
    for (const Account& account : previous.accounts) {
        const Account* now = next.FindAccount(account.name);
        if (now == nullptr || now->password != account.password)
            m_sessions.RemoveUser(account.name);
    }
}

} // namespace Velto::Corvane
