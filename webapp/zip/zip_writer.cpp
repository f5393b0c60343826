#include "webapp/zip/zip_writer.h"

#include "webapp/zip/dos_date_time.h"
#include "webapp/zip/zip_crc32.h"

namespace Velto::Corvane {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;

constexpr std::uint16_t kVersionClassic = 20;
constexpr std::uint16_t kVersionZip64 = 45;
// Bit 3: sizes and CRC follow the data in a descriptor; bit 11: UTF-8 names.
constexpr std::uint16_t kFileFlags = 0x0808;
constexpr std::uint16_t kFolderFlags = 0x0800;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kZip64ExtraTag = 0x0001;
constexpr std::uint32_t kFolderAttributes = 0x10;
constexpr std::uint32_t kFileAttributes = 0x20;
constexpr std::uint64_t kZip64EndRecordSize = 44; // the record less its first 12 bytes
constexpr std::uint16_t kMaxClassicCount = 0xFFFF;

// Little-endian record assembly.
class Record {
public:
    explicit Record(std::vector<std::byte>& bytes) : m_bytes(bytes) {}
    Record& U16(std::uint64_t value) { return Put(value, 2); }
    Record& U32(std::uint64_t value) { return Put(value, 4); }
    Record& U64(std::uint64_t value) { return Put(value, 8); }
    Record& Text(std::string_view text) {
        for (const char c : text)
            m_bytes.push_back(static_cast<std::byte>(c));
        return *this;
    }

private:
    Record& Put(std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i)
            m_bytes.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
        return *this;
    }

    std::vector<std::byte>& m_bytes;
};

std::uint16_t FlagsOf(const ZipEntry& entry) {
    return entry.isFolder ? kFolderFlags : kFileFlags;
}

} // namespace

bool ZipWriter::Deliver(std::span<const std::byte> bytes) {
    if (m_failed)
        return false;
    if (bytes.empty())
        return true;
    if (!m_output(bytes)) {
        m_failed = true;
        return false;
    }
    m_total += bytes.size();
    return true;
}

bool ZipWriter::WriteLocalHeader(const ZipEntry& entry) {
    std::vector<std::byte> bytes;
    bytes.reserve(30 + entry.name.size() + 20);
    const std::uint64_t sizeField = entry.zip64 ? kMax32 : 0;
    Record(bytes)
        .U32(kLocalHeaderSignature)
        .U16(entry.zip64 ? kVersionZip64 : kVersionClassic)
        .U16(FlagsOf(entry))
        .U16(kMethodStored)
        .U16(entry.dosTime)
        .U16(entry.dosDate)
        .U32(0)
        .U32(sizeField)
        .U32(sizeField)
        .U16(entry.name.size())
        .U16(entry.zip64 ? 20 : 0)
        .Text(entry.name);
    // The sizes are unknown until the data has passed: zero here, the real
    // ones follow in the descriptor.
    if (entry.zip64)
        Record(bytes).U16(kZip64ExtraTag).U16(16).U64(0).U64(0);
    return Deliver(bytes);
}

bool ZipWriter::AddDirectory(std::string_view name, FileTime lastWrite) {
    if (m_entryOpen || m_finished || name.size() + 1 > kMaxNameBytes)
        return false;
    const DosDateTime stamp = ToDosDateTime(lastWrite);
    ZipEntry entry;
    entry.name.reserve(name.size() + 1);
    entry.name.append(name).push_back('/');
    entry.dosTime = stamp.time;
    entry.dosDate = stamp.date;
    entry.localHeaderOffset = m_total;
    entry.isFolder = true;
    m_entries.push_back(std::move(entry));
    return WriteLocalHeader(m_entries.back());
}

bool ZipWriter::BeginFile(std::string_view name, FileTime lastWrite, std::uint64_t size) {
    if (m_entryOpen || m_finished || name.empty() || name.size() > kMaxNameBytes)
        return false;
    const DosDateTime stamp = ToDosDateTime(lastWrite);
    ZipEntry entry;
    entry.name = std::string(name);
    entry.dosTime = stamp.time;
    entry.dosDate = stamp.date;
    entry.localHeaderOffset = m_total;
    entry.zip64 = size >= kMax32;
    m_entries.push_back(std::move(entry));
    m_entryOpen = true;
    return WriteLocalHeader(m_entries.back());
}

bool ZipWriter::AcceptData(std::span<const std::byte> bytes) {
    if (!m_entryOpen || m_failed)
        return false;
    ZipEntry& entry = m_entries.back();
    if (!entry.zip64 && entry.size + bytes.size() >= kMax32)
        return false;
    entry.crc32 = Crc32Update(entry.crc32, bytes);
    entry.size += bytes.size();
    return true;
}

bool ZipWriter::Write(std::span<const std::byte> bytes) {
    return AcceptData(bytes) && Deliver(bytes);
}

bool ZipWriter::WriteFromFile(std::span<const std::byte> bytes, int fd, std::uint64_t offset) {
    if (!m_fileOutput)
        return Write(bytes);
    if (!AcceptData(bytes))
        return false;
    if (bytes.empty())
        return true;
    if (!m_fileOutput(fd, offset, bytes.size())) {
        m_failed = true;
        return false;
    }
    m_total += bytes.size();
    return true;
}

bool ZipWriter::EndFile() {
    if (!m_entryOpen)
        return false;
    m_entryOpen = false;
    const ZipEntry& entry = m_entries.back();
    std::vector<std::byte> bytes;
    bytes.reserve(24);
    Record record(bytes);
    record.U32(kDataDescriptorSignature).U32(entry.crc32);
    if (entry.zip64)
        record.U64(entry.size).U64(entry.size);
    else
        record.U32(entry.size).U32(entry.size);
    return Deliver(bytes);
}

void ZipWriter::AppendCentralHeader(std::vector<std::byte>& bytes, const ZipEntry& entry) const {
    const bool largeSize = entry.size >= kMax32;
    const bool largeOffset = entry.localHeaderOffset >= kMax32;
    const std::uint16_t extraData = (largeSize ? 16 : 0) + (largeOffset ? 8 : 0);
    const std::uint16_t extraLength = extraData == 0 ? 0 : 4 + extraData;
    const bool needs64 = entry.zip64 || largeSize || largeOffset;
    Record record(bytes);
    record.U32(kCentralHeaderSignature)
        .U16(kVersionZip64)
        .U16(needs64 ? kVersionZip64 : kVersionClassic)
        .U16(FlagsOf(entry))
        .U16(kMethodStored)
        .U16(entry.dosTime)
        .U16(entry.dosDate)
        .U32(entry.crc32)
        .U32(largeSize ? kMax32 : entry.size)
        .U32(largeSize ? kMax32 : entry.size)
        .U16(entry.name.size())
        .U16(extraLength)
        .U16(0)
        .U16(0)
        .U16(0)
        .U32(entry.isFolder ? kFolderAttributes : kFileAttributes)
        .U32(largeOffset ? kMax32 : entry.localHeaderOffset)
        .Text(entry.name);
    if (extraLength == 0)
        return;
    record.U16(kZip64ExtraTag).U16(extraData);
    if (largeSize)
        record.U64(entry.size).U64(entry.size);
    if (largeOffset)
        record.U64(entry.localHeaderOffset);
}

bool ZipWriter::Finish() {
    if (m_entryOpen || m_finished)
        return false;
    m_finished = true;
    const std::uint64_t directoryOffset = m_total;
    std::vector<std::byte> bytes;
    for (const ZipEntry& entry : m_entries) {
        bytes.clear();
        AppendCentralHeader(bytes, entry);
        if (!Deliver(bytes))
            return false;
    }
    const std::uint64_t directorySize = m_total - directoryOffset;
    const std::uint64_t count = m_entries.size();
    const bool zip64End =
        count >= kMaxClassicEntries || directorySize >= kMax32 || directoryOffset >= kMax32;

    if (zip64End) {
        const std::uint64_t zip64EndOffset = m_total;
        bytes.clear();
        Record(bytes)
            .U32(kZip64EndSignature)
            .U64(kZip64EndRecordSize)
            .U16(kVersionZip64)
            .U16(kVersionZip64)
            .U32(0)
            .U32(0)
            .U64(count)
            .U64(count)
            .U64(directorySize)
            .U64(directoryOffset);
        if (!Deliver(bytes))
            return false;
        bytes.clear();
        Record(bytes).U32(kZip64LocatorSignature).U32(0).U64(zip64EndOffset).U32(1);
        if (!Deliver(bytes))
            return false;
    }

    bytes.clear();
    Record(bytes)
        .U32(kEndSignature)
        .U16(0)
        .U16(0)
        .U16(zip64End ? kMaxClassicCount : count)
        .U16(zip64End ? kMaxClassicCount : count)
        .U32(zip64End ? kMax32 : directorySize)
        .U32(zip64End ? kMax32 : directoryOffset)
        .U16(0);
    return Deliver(bytes);
}

} // namespace Velto::Corvane
