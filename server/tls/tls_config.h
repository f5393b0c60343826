#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace Velto::Net {

enum class TlsRole : std::int32_t { Client = 0, Server = 1 };

// What certificate a TLS endpoint presents and how it checks its peer.
struct TlsConfig {
    TlsRole role{TlsRole::Client};
    // Hexadecimal hash of the local certificate to take from the certificate
    // store (spaces, tabs and colons are ignored). The SHA-1 of a stored
    // certificate finds it.
    std::u16string thumbprint;
    // Only the personal store "MY" exists; it lives in storeDirectory.
    std::u16string storeName{u"MY"};
    // The per-user store: certificates under certs/, private keys under keys/.
    std::filesystem::path storeDirectory;
    // A PKCS #12 file with the local certificate and key; wins over thumbprint.
    std::u16string pfxPath;
    // Plain text; the owner overwrites it with zeros once credentials exist.
    std::u16string pfxPassword;
    // Server role without pfxPath and thumbprint: a process-wide certificate
    // created on first use, its key kept in the store under autoKeyName.
    bool autoCertificate{false};
    std::u16string autoKeyName;
    std::u16string autoSubject; // "CN=..." style X.500 text
    // SHA-256 (64 hexadecimal digits) the peer certificate must have; when set
    // no chain validation takes place.
    std::u16string pin;
    // Server name for the client role; "localhost" when empty.
    std::u16string TargetName;
    // Server role: ask for a client certificate and validate it.
    bool requireClientCertificate{false};
    // PEM bundle of extra trust anchors for chain validation, next to the
    // system's (for private certification authorities).
    std::filesystem::path trustedCaFile;
};

} // namespace Velto::Net
