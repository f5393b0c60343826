#pragma once

#include <string>

namespace Velto::Corvane {

// What the program hands the service at construction.
struct ServiceOptions {
    std::string configPath;    // full path of config.json
    std::string logsFolder;    // folder of the daily access logs
    std::string uploadsFolder; // state of unfinished uploads; empty: not kept
    bool loopbackOnly{false};
    std::u16string keyNamePrefix;           // persisted key name prefix of the own certificate
    std::u16string certificateSubject;      // "CN=..." of the own certificate
    std::u16string certificateFriendlyName; // friendly name of the own certificate
    // The per-user certificate store (certs/ and keys/ inside it).
    std::string certificateStoreFolder;
};

} // namespace Velto::Corvane
