#include "config/config_file.h"

#include "base/file_util.h"
#include "base/ordinal_compare.h"
#include "base/private_file.h"
#include "base/utf.h"

#include <algorithm>

namespace Velto::Corvane {
namespace {

constexpr double kFileVersion = 1;
constexpr std::int64_t kMinPort = 1;
constexpr std::int64_t kMaxPort = 65535;
constexpr std::int64_t kDefaultPort = 8080;
constexpr std::int64_t kMaxUploadLimit = 9007199254740991; // 2^53 - 1

struct AccessName {
    AccessFlags flag;
    const char* name;
};
constexpr AccessName kAccessNames[] = {
    {AccessFlags::Read, "read"},
    {AccessFlags::Write, "write"},
    {AccessFlags::Delete, "delete"},
};

std::u16string ReadText(const JsonValue& value) {
    return Utf8ToUtf16(value.AsString());
}
JsonValue TextValue(std::u16string_view text) {
    return JsonValue(Utf16ToUtf8(text));
}

void ReadServer(const JsonValue& server, Config& config) {
    config.port =
        static_cast<std::uint16_t>(server.Get("port").GetInt(kDefaultPort, kMinPort, kMaxPort));
    config.https = server.Get("https").GetBool(false);
    config.certificate = server.Get("certificate").AsString() == "pfx"
                             ? CertificateKind::Pfx
                             : CertificateKind::SelfSigned;
    config.selfSignedThumbprint = ReadText(server.Get("selfSignedThumbprint"));
    config.pfxPath = ReadText(server.Get("pfxPath"));
    config.pfxPassword = server.Get("pfxPassword").AsString();
    config.upnp = server.Get("upnp").GetBool(true);
    config.showHidden = server.Get("showHidden").GetBool(false);
    config.startServerOnLaunch = server.Get("startServerOnLaunch").GetBool(true);
    config.webdav = server.Get("webdav").GetBool(true);
    config.language = ReadText(server.Get("language"));
    config.theme = ReadText(server.Get("theme"));
}

Share ReadShare(const JsonValue& item) {
    Share share;
    share.id = item.Get("id").AsString();
    share.name = ReadText(item.Get("name"));
    share.path = ReadText(item.Get("path"));
    share.readOnly = item.Get("readOnly").GetBool(false);
    const JsonValue* guest = item.Find("guest");
    share.guest = guest ? AccessFromNames(*guest) : AccessFlags::Read;
    share.password = item.Get("password").AsString();
    share.maxUploadBytes = item.Get("maxUploadBytes").GetInt(0, 0, kMaxUploadLimit);
    share.file = item.Get("file").GetBool(false);
    if (share.file)
        share.readOnly = true;
    return share;
}

bool AcceptShare(const Config& config, const Share& share) {
    return !share.id.empty() && IsValidShareName(share.name) && !share.path.empty() &&
           !config.FindShareByName(share.name) && !config.FindShareById(share.id);
}

Account ReadAccount(const JsonValue& item, const Config& config) {
    Account account;
    account.name = ReadText(item.Get("name"));
    account.password = item.Get("password").AsString();
    for (const auto& [shareId, names] : item.Get("access").AsMembers()) {
        if (config.FindShareById(shareId))
            account.access.emplace(shareId, AccessFromNames(names));
    }
    return account;
}

bool AcceptAccount(const Config& config, const Account& account) {
    return IsValidAccountName(account.name) && !account.password.empty() &&
           !config.FindAccount(account.name);
}

ShareLink ReadLink(const JsonValue& item) {
    ShareLink link;
    link.id = item.Get("id").AsString();
    link.token = item.Get("token").AsString();
    link.shareId = item.Get("share").AsString();
    link.path = ReadText(item.Get("path"));
    link.mode = item.Get("mode").AsString() == "upload" ? LinkMode::Upload : LinkMode::View;
    link.created = item.Get("created").GetInt(0, 0, kMaxUploadLimit);
    link.expires = item.Get("expires").GetInt(0, 0, kMaxUploadLimit);
    link.password = item.Get("password").AsString();
    link.label = ReadText(item.Get("label"));
    link.creator = ReadText(item.Get("creator"));
    link.uses = static_cast<std::uint64_t>(item.Get("uses").GetInt(0, 0, kMaxUploadLimit));
    return link;
}

// A link whose share or creating account is gone is dropped with them.
bool AcceptLink(const Config& config, const ShareLink& link) {
    const bool tokenTaken =
        std::any_of(config.links.begin(), config.links.end(),
                    [&](const ShareLink& other) { return other.token == link.token; });
    return link.id.size() == 2 * ShareLink::kIdBytes && IsWellFormedLinkToken(link.token) &&
           !tokenTaken && !config.FindLinkById(link.id) && config.FindShareById(link.shareId) &&
           (link.creator.empty() || config.FindAccount(link.creator));
}

JsonValue ServerToJson(const Config& config) {
    JsonValue server = JsonValue::MakeObject();
    server.Set("port", JsonValue(static_cast<double>(config.port)));
    server.Set("https", JsonValue(config.https));
    server.Set("certificate",
               JsonValue(config.certificate == CertificateKind::Pfx ? "pfx" : "selfSigned"));
    server.Set("selfSignedThumbprint", TextValue(config.selfSignedThumbprint));
    server.Set("pfxPath", TextValue(config.pfxPath));
    server.Set("pfxPassword", JsonValue(config.pfxPassword));
    server.Set("upnp", JsonValue(config.upnp));
    server.Set("showHidden", JsonValue(config.showHidden));
    server.Set("startServerOnLaunch", JsonValue(config.startServerOnLaunch));
    server.Set("language", TextValue(config.language));
    server.Set("theme", TextValue(config.theme));
    // Written only when switched off, so the file of a default setup keeps
    // its members, and older copies, which do not know this one, read it as
    // they always did.
    if (!config.webdav)
        server.Set("webdav", JsonValue(false));
    return server;
}

JsonValue ShareToJson(const Share& share) {
    JsonValue item = JsonValue::MakeObject();
    item.Set("id", JsonValue(share.id));
    item.Set("name", TextValue(share.name));
    item.Set("path", TextValue(share.path));
    item.Set("readOnly", JsonValue(share.readOnly || share.file));
    item.Set("guest", AccessToNames(share.guest));
    item.Set("password", JsonValue(share.password));
    item.Set("maxUploadBytes", JsonValue(static_cast<double>(share.maxUploadBytes)));
    if (share.file)
        item.Set("file", JsonValue(true));
    return item;
}

JsonValue AccountToJson(const Account& account) {
    JsonValue item = JsonValue::MakeObject();
    item.Set("name", TextValue(account.name));
    item.Set("password", JsonValue(account.password));
    JsonValue access = JsonValue::MakeObject();
    for (const auto& [shareId, flags] : account.access)
        access.Set(shareId, AccessToNames(flags));
    item.Set("access", std::move(access));
    return item;
}

JsonValue LinkToJson(const ShareLink& link) {
    JsonValue item = JsonValue::MakeObject();
    item.Set("id", JsonValue(link.id));
    item.Set("token", JsonValue(link.token));
    item.Set("share", JsonValue(link.shareId));
    item.Set("path", TextValue(link.path));
    item.Set("mode", JsonValue(link.mode == LinkMode::Upload ? "upload" : "view"));
    item.Set("created", JsonValue(static_cast<double>(link.created)));
    item.Set("expires", JsonValue(static_cast<double>(link.expires)));
    item.Set("password", JsonValue(link.password));
    item.Set("label", TextValue(link.label));
    item.Set("creator", TextValue(link.creator));
    item.Set("uses", JsonValue(static_cast<double>(link.uses)));
    return item;
}

} // namespace

AccessFlags AccessFromNames(const JsonValue& value) {
    AccessFlags flags = AccessFlags::None;
    for (const JsonValue& element : value.AsArray()) {
        if (element.Kind() != JsonKind::String)
            continue;
        for (const auto& [flag, name] : kAccessNames) {
            if (element.AsString() == name)
                flags |= flag;
        }
    }
    return NormalizeAccess(flags);
}

JsonValue AccessToNames(AccessFlags flags) {
    JsonValue names = JsonValue::MakeArray();
    for (const auto& [flag, name] : kAccessNames) {
        if (HasAccess(flags, flag))
            names.Append(JsonValue(name));
    }
    return names;
}

JsonValue ConfigToJson(const Config& config) {
    JsonValue root = JsonValue::MakeObject();
    root.Set("version", JsonValue(kFileVersion));
    root.Set("server", ServerToJson(config));
    JsonValue& shares = root.Set("shares", JsonValue::MakeArray());
    for (const Share& share : config.shares)
        shares.Append(ShareToJson(share));
    JsonValue& accounts = root.Set("accounts", JsonValue::MakeArray());
    for (const Account& account : config.accounts)
        accounts.Append(AccountToJson(account));
    // Older copies of the program do not know this member and leave it be.
    if (!config.links.empty()) {
        JsonValue& links = root.Set("links", JsonValue::MakeArray());
        for (const ShareLink& link : config.links)
            links.Append(LinkToJson(link));
    }
    return root;
}

Config ConfigFromJson(const JsonValue& root) {
    Config config;
    ReadServer(root.Get("server"), config);
    for (const JsonValue& item : root.Get("shares").AsArray()) {
        Share share = ReadShare(item);
        if (AcceptShare(config, share))
            config.shares.push_back(std::move(share));
    }
    for (const JsonValue& item : root.Get("accounts").AsArray()) {
        Account account = ReadAccount(item, config);
        if (AcceptAccount(config, account))
            config.accounts.push_back(std::move(account));
    }
    for (const JsonValue& item : root.Get("links").AsArray()) {
        ShareLink link = ReadLink(item);
        if (AcceptLink(config, link))
            config.links.push_back(std::move(link));
    }
    return config;
}

bool LoadConfig(const std::string& path, Config& config) {
    if (!FileExists(path))
        return true;
    std::string text;
    if (Failed(ReadTextFile(path, text)))
        return false;
    auto [root, ok] = ParseJson(text, kJsonMaxDepth);
    if (!ok || root.Kind() != JsonKind::Object)
        return false;
    config = ConfigFromJson(root);
    return true;
}

bool SaveConfig(const std::string& path, const Config& config) {
    std::string text = SerializeJson(ConfigToJson(config), true);
    text.push_back('\n');
    return WritePrivateFileAtomically(path, text);
}

} // namespace Velto::Corvane
