#pragma once

#include "base/clock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// One member of an archive as the central directory will describe it.
struct ZipEntry {
    std::string name; // UTF-8; folders end with "/"
    std::uint16_t dosTime{0};
    std::uint16_t dosDate{0};
    std::uint32_t crc32{0};
    std::uint64_t size{0}; // bytes of data written
    std::uint64_t localHeaderOffset{0};
    bool isFolder{false};
    bool zip64{false}; // the local header carries the ZIP64 extra field
};

// Writes a stored (uncompressed) ZIP archive front to back without ever
// seeking: sizes and CRC-32 follow each file's data in a data descriptor, and
// the central directory is built from the small entry list kept in memory.
// ZIP64 records appear exactly where sizes, offsets or the entry count no
// longer fit the classic fields. Every record is built in memory and goes to
// the output in one call; once an output call fails, nothing more is written.
class ZipWriter {
public:
    // Delivers bytes; false when they could not be delivered.
    using Output = std::function<bool(std::span<const std::byte>)>;
    // Delivers `length` bytes of the open file `fd` from `offset` without
    // the writer handling them (sendfile); false when they could not be.
    using FileOutput = std::function<bool(int fd, std::uint64_t offset, std::uint64_t length)>;

    static constexpr std::size_t kMaxNameBytes = 65'535;
    static constexpr std::uint64_t kMax32 = 0xFFFF'FFFF;
    static constexpr std::uint64_t kMaxClassicEntries = 65'535;

    explicit ZipWriter(Output output) : m_output(std::move(output)) {}
    // Data given with WriteFromFile goes to `fileOutput`; without it, to `output`.
    ZipWriter(Output output, FileOutput fileOutput)
        : m_output(std::move(output)), m_fileOutput(std::move(fileOutput)) {}
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A folder entry named `name` + "/".
    bool AddDirectory(std::string_view name, FileTime lastWrite);
    // Starts a file entry; `size` is the announced size, which decides
    // whether the entry is ZIP64 (0xFFFFFFFF or more).
    bool BeginFile(std::string_view name, FileTime lastWrite, std::uint64_t size);
    // Data of the open file entry.
    bool Write(std::span<const std::byte> bytes);
    // Data of the open file entry that was read from `fd` at `offset`: its
    // CRC is taken over `bytes`, and the same range of the file leaves
    // through the file output, so it is not copied a second time.
    bool WriteFromFile(std::span<const std::byte> bytes, int fd, std::uint64_t offset);
    // Closes the open file entry with its data descriptor.
    bool EndFile();
    // The central directory and the end records.
    bool Finish();

    std::uint64_t Total() const { return m_total; }
    const std::vector<ZipEntry>& Entries() const { return m_entries; }
    bool HasFailed() const { return m_failed; }

private:
    bool Deliver(std::span<const std::byte> bytes);
    bool AcceptData(std::span<const std::byte> bytes);
    bool WriteLocalHeader(const ZipEntry& entry);
    void AppendCentralHeader(std::vector<std::byte>& out, const ZipEntry& entry) const;

    Output m_output;
    FileOutput m_fileOutput;
    std::vector<ZipEntry> m_entries;
    std::uint64_t m_total{0};
    bool m_entryOpen{false};
    bool m_finished{false};
    bool m_failed{false};
};

} // namespace Velto::Corvane
