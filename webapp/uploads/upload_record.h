#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// What the data folder keeps about one unfinished upload, enough to continue
// it after a restart or to remove its partial file.
struct UploadRecord {
    enum class Kind { Resumable, Put };

    Kind kind{Kind::Resumable};
    // The absolute path of the destination folder and the hidden temporary
    // file in it. The path serves only to remove leftovers; pieces reach the
    // folder through the share again, with every check of a request.
    std::string folder;
    std::string temp;

    // Resumable uploads only.
    std::string shareId;
    std::u16string shareName;
    std::u16string itemPath; // the destination inside the share, file name last
    std::uint64_t length{0};
    std::uint64_t offset{0}; // on the disk when recorded
    // The boot during which the record was written (CurrentBootId); empty
    // when unknown. While it is still the running one, the partial file holds
    // every byte written to it, which may be more than the recorded offset.
    std::string boot;
    std::string owner;   // SHA-256 (hex) of the creator's upload key
    std::u16string user; // the creator's account; empty for a guest
    bool overwrite{false};
    std::int64_t touchedUnix{0}; // seconds; the last time the upload moved
};

std::string SerializeUploadRecord(const UploadRecord& record);
// None when the text is not a complete record.
std::optional<UploadRecord> ParseUploadRecord(std::string_view text);

} // namespace Velto::Corvane
