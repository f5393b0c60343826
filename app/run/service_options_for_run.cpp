#include "app/run/service_options_for_run.h"

#include "config/data_folders.h"

#include <filesystem>

namespace App {

Velto::Corvane::ServiceOptions ServiceOptionsFor(const EnvironmentSettings& settings) {
    Velto::Corvane::ServiceOptions options;
    options.configPath = Velto::Corvane::ConfigFilePath();
    options.logsFolder = Velto::Corvane::LogsFolderPath();
    options.uploadsFolder = Velto::Corvane::UploadsFolderPath();
    options.loopbackOnly = settings.loopback;
    if (settings.SelfContained()) {
        options.keyNamePrefix = kCheckKeyNamePrefix;
        options.certificateSubject = kCheckCertificateSubject;
        options.certificateFriendlyName = kCheckCertificateFriendlyName;
        options.certificateStoreFolder = Velto::Corvane::DataFolderOverride();
    } else {
        options.keyNamePrefix = kKeyNamePrefix;
        options.certificateSubject = kCertificateSubject;
        options.certificateFriendlyName = kCertificateFriendlyName;
        // The store sits beside the per-user secret key: $XDG_DATA_HOME/VeltoCorvane.
        const std::string keyFile = Velto::Corvane::SecretKeyFilePath();
        if (!keyFile.empty())
            options.certificateStoreFolder = std::filesystem::path{keyFile}.parent_path().string();
    }
    return options;
}

} // namespace App
