#include "webapp/uploads/upload_state_store.h"

#include "base/file_util.h"
#include "base/private_file.h"
#include "base/system_random.h"
#include "base/utf.h"
#include "webapp/fs/create_at.h"
#include "webapp/fs/disk_sync.h"
#include "webapp/fs/item_name.h"
#include "webapp/uploads/boot_id.h"
#include "webapp/uploads/partial_file.h"
#include "webapp/uploads/record_file.h"

#include <algorithm>
#include <vector>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kRecordEnding = ".json";
constexpr std::string_view kPutPrefix = "put-";
constexpr std::size_t kPutRandomBytes = 8;
constexpr std::size_t kMaxRecordBytes = 65'536;

// Removes an upload's temporary file; only names of temporary files are ever
// removed this way, whatever a record says.
void RemoveLeftover(const UploadRecord& record) {
    if (record.temp.find('/') != std::string::npos || !IsUploadTempName(Utf8ToUtf16(record.temp)))
        return;
    const FdOrErrno folder = OpenFolderPath(record.folder);
    if (!folder.Ok())
        return;
    if (RemoveFileAt(folder.fd.Get(), record.temp) == 0)
        SyncFolder(folder.fd.Get());
}

std::uint64_t ExpiryFor(std::uint64_t nowTick, std::int64_t nowUnix, std::int64_t touchedUnix) {
    const std::int64_t idleSeconds = std::max<std::int64_t>(0, nowUnix - touchedUnix);
    const auto idleMs = static_cast<std::uint64_t>(idleSeconds) * 1000;
    if (idleMs >= UploadStateStore::kLifetimeMs)
        return nowTick;
    return nowTick + (UploadStateStore::kLifetimeMs - idleMs);
}

} // namespace

UploadStateStore::RunningPut::~RunningPut() {
    if (!m_path.empty())
        RemoveFile(m_path);
}

bool UploadStateStore::Open(const std::string& folder, std::uint64_t nowTick,
                            std::int64_t nowUnix) {
    if (Failed(MakePrivateDirectory(folder)))
        return false;
    {
        const std::lock_guard lock(m_mutex);
        m_folder = folder;
        m_bootId = CurrentBootId();
        m_uploads.clear();
        m_nextExpiry = 0;
    }
    std::vector<DirectoryItem> items;
    if (Failed(ListDirectory(folder, items)))
        return false;
    for (const DirectoryItem& item : items)
        Adopt(item.name, nowTick, nowUnix);
    const std::lock_guard lock(m_mutex);
    ScheduleLocked();
    return true;
}

bool UploadStateStore::IsOpen() const {
    const std::lock_guard lock(m_mutex);
    return !m_folder.empty();
}

void UploadStateStore::Adopt(const std::string& fileName, std::uint64_t nowTick,
                             std::int64_t nowUnix) {
    const std::string path = m_folder + "/" + fileName;
    std::string text;
    std::optional<UploadRecord> record;
    if (fileName.ends_with(kRecordEnding) && Succeeded(ReadWholeFile(path, text, kMaxRecordBytes)))
        record = ParseUploadRecord(text);
    const std::string id =
        fileName.substr(0, fileName.size() - std::min(fileName.size(), kRecordEnding.size()));
    // Half-written replacements, unreadable records and the records of PUTs
    // the previous run never finished: their files go, then the records.
    if (!record || record->kind == UploadRecord::Kind::Put || id.starts_with(kPutPrefix)) {
        if (record)
            RemoveLeftover(*record);
        RemoveFile(path);
        return;
    }
    const std::uint64_t expiry = ExpiryFor(nowTick, nowUnix, record->touchedUnix);
    bool keep = expiry > nowTick;
    if (keep) {
        // During the boot that wrote the record, the size of the partial file
        // is what reached it; flushed now, it is an offset on the disk. After
        // a system restart only the recorded offset is sure to be, and bytes
        // past it are cut off by the next piece. A file shorter than the
        // recorded offset lost bytes that were promised, so the upload cannot
        // go on.
        keep = false;
        const bool sameBoot = !record->boot.empty() && record->boot == m_bootId;
        const FdOrErrno folder = OpenFolderPath(record->folder);
        if (folder.Ok()) {
            const FdOrErrno file = OpenPartialFileAt(folder.fd.Get(), record->temp);
            const std::optional<std::uint64_t> size =
                file.Ok() ? PartialFileSize(file.fd.Get()) : std::nullopt;
            if (size && *size >= record->offset && *size <= record->length &&
                (!sameBoot || SyncFileData(file.fd.Get()) == 0)) {
                if (sameBoot)
                    record->offset = *size;
                keep = true;
            }
        }
    }
    if (!keep) {
        RemoveLeftover(*record);
        RemoveFile(path);
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_uploads[id] = Entry{std::move(*record), expiry, nowTick, false};
}

std::string UploadStateStore::RecordPath(std::string_view id) const {
    return m_folder + "/" + std::string(id) + std::string(kRecordEnding);
}

void UploadStateStore::ScheduleLocked() {
    m_nextExpiry = 0;
    for (const auto& [id, entry] : m_uploads) {
        if (m_nextExpiry == 0 || entry.expiryTick < m_nextExpiry)
            m_nextExpiry = entry.expiryTick;
    }
}

bool UploadStateStore::Add(const std::string& id, UploadRecord record, std::uint64_t nowTick) {
    std::string path;
    {
        const std::lock_guard lock(m_mutex);
        if (m_folder.empty() || m_uploads.contains(id))
            return false;
        path = RecordPath(id);
        record.boot = m_bootId;
    }
    if (Failed(ReplacePrivateFile(path, SerializeUploadRecord(record))))
        return false;
    const std::lock_guard lock(m_mutex);
    m_uploads[id] = Entry{std::move(record), nowTick + kLifetimeMs, nowTick, false};
    ScheduleLocked();
    return true;
}

std::map<std::string, UploadStateStore::Entry, std::less<>>::iterator
UploadStateStore::SettledLocked(std::unique_lock<std::mutex>& lock, std::string_view id,
                                std::chrono::milliseconds settle) {
    const auto deadline = std::chrono::steady_clock::now() + settle;
    while (true) {
        const auto found = m_uploads.find(id);
        if (found == m_uploads.end() || !found->second.busy)
            return found;
        if (m_settled.wait_until(lock, deadline) == std::cv_status::timeout)
            return m_uploads.find(id);
    }
}

std::optional<UploadRecord> UploadStateStore::Find(std::string_view id, std::uint64_t nowTick,
                                                   std::chrono::milliseconds settle) {
    PurgeExpired(nowTick);
    std::unique_lock lock(m_mutex);
    const auto found = SettledLocked(lock, id, settle);
    if (found == m_uploads.end())
        return std::nullopt;
    return found->second.record;
}

UploadStateStore::Claim UploadStateStore::Acquire(std::string_view id, std::uint64_t nowTick,
                                                  UploadRecord& out,
                                                  std::chrono::milliseconds settle) {
    PurgeExpired(nowTick);
    std::unique_lock lock(m_mutex);
    const auto found = SettledLocked(lock, id, settle);
    if (found == m_uploads.end())
        return Claim::NotFound;
    if (found->second.busy)
        return Claim::Busy;
    found->second.busy = true;
    out = found->second.record;
    return Claim::Ok;
}

bool UploadStateStore::Release(std::string_view id, std::uint64_t offset, bool flushed,
                               std::uint64_t nowTick, std::int64_t nowUnix) {
    UploadRecord record;
    std::string path;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_uploads.find(id);
        if (found == m_uploads.end())
            return false;
        record = found->second.record;
        path = RecordPath(id);
        record.boot = m_bootId;
    }
    record.offset = offset;
    record.touchedUnix = nowUnix;
    // Written while the claim still holds: once it ends, another request may
    // finish the upload and remove the record, which must then stay removed.
    const bool kept =
        !flushed || Succeeded(ReplacePrivateFile(path, SerializeUploadRecord(record)));
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_uploads.find(id);
        if (found == m_uploads.end())
            return false;
        Entry& entry = found->second;
        entry.record = std::move(record);
        entry.busy = false;
        entry.expiryTick = nowTick + kLifetimeMs;
        if (flushed)
            entry.checkpointTick = nowTick;
        ScheduleLocked();
    }
    m_settled.notify_all();
    return kept;
}

void UploadStateStore::Forget(std::string_view id) {
    std::string path;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_uploads.find(id);
        if (found == m_uploads.end())
            return;
        m_uploads.erase(found);
        ScheduleLocked();
        path = RecordPath(id);
    }
    m_settled.notify_all();
    RemoveFile(path);
}

void UploadStateStore::Discard(std::string_view id) {
    UploadRecord record;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_uploads.find(id);
        if (found == m_uploads.end())
            return;
        record = found->second.record;
    }
    RemoveLeftover(record);
    Forget(id);
}

bool UploadStateStore::CheckpointDue(std::string_view id, std::uint64_t nowTick) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_uploads.find(id);
    return found != m_uploads.end() && nowTick >= found->second.checkpointTick &&
           nowTick - found->second.checkpointTick >= kCheckpointMs;
}

std::uint64_t UploadStateStore::ExpiryTick(std::string_view id) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_uploads.find(id);
    return found == m_uploads.end() ? 0 : found->second.expiryTick;
}

void UploadStateStore::PurgeExpired(std::uint64_t nowTick) {
    std::vector<std::pair<std::string, UploadRecord>> expired;
    {
        const std::lock_guard lock(m_mutex);
        if (m_nextExpiry == 0 || nowTick < m_nextExpiry)
            return;
        for (auto it = m_uploads.begin(); it != m_uploads.end();) {
            if (!it->second.busy && it->second.expiryTick <= nowTick) {
                expired.emplace_back(it->first, std::move(it->second.record));
                it = m_uploads.erase(it);
            } else {
                ++it;
            }
        }
        ScheduleLocked();
    }
    for (const auto& [id, record] : expired) {
        RemoveLeftover(record);
        RemoveFile(RecordPath(id));
    }
}

UploadStateStore::RunningPut UploadStateStore::NoteRunningPut(const std::string& folder,
                                                              const std::string& temp) {
    std::string path;
    {
        const std::lock_guard lock(m_mutex);
        if (m_folder.empty())
            return RunningPut();
        const std::string random = RandomHex(kPutRandomBytes);
        if (random.empty())
            return RunningPut();
        path = m_folder + "/" + std::string(kPutPrefix) + random + std::string(kRecordEnding);
    }
    UploadRecord record;
    record.kind = UploadRecord::Kind::Put;
    record.folder = folder;
    record.temp = temp;
    // Not flushed: the record only has to outlive the process, and a PUT
    // cannot wait for the disk before every file it receives.
    if (!WritePrivateUnflushed(path, SerializeUploadRecord(record)))
        return RunningPut();
    return RunningPut(std::move(path));
}

} // namespace Velto::Corvane
