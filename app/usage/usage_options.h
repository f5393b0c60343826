#pragma once

#include <string>

namespace App {

// What the program tells the usage reporter at start.
struct UsageOptions {
    std::u16string productName;
    std::u16string version;
    // Where the client id is kept (the file "UsageId" in it).
    std::string clientIdFolder;
    // The analytics property and its collection secret.
    std::u16string measurementId;
    std::u16string apiSecret;
};

// The analytics collection service the program reports to.
inline constexpr char kUsageEndpoint[] = "https://www.google-analytics.com";
inline constexpr char16_t kUsageProductName[] = u"VeltoCorvane";
inline constexpr char16_t kUsageVersion[] = u"0.1.0.0";
inline constexpr char16_t kUsageMeasurementId[] = u"G-KT7WQ2MZRB";
inline constexpr char16_t kUsageApiSecret[] = u"Qm4Tz8Lw2Xc9Rb7Np1Hs_d";

// The program's own options: its name and version, the property above, and
// the client id in the user's settings folder ($XDG_CONFIG_HOME/VeltoCorvane).
UsageOptions ProgramUsageOptions();

} // namespace App
