#pragma once

#include "webapp/uploads/upload_record.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace Velto::Corvane {

// The unfinished uploads of the server, kept as one small file each in a
// private folder of the data folder so that they outlive the process:
// resumable uploads with their destination, owner and offset, and the
// temporary files of PUTs that are running, whose leftovers a killed process
// would otherwise never remove.
//
// A record is written (and flushed, replacing any older one in one step)
// before the temporary file it names exists, and removed only after that file
// is gone or renamed, so a crash at any point leaves either both or a record
// whose file is missing, which the next start forgets.
//
// The offset a record names is on the disk: it is written only after the
// partial file was flushed up to it, at most once per checkpoint interval
// while an upload runs, so it may lag behind the bytes received but never runs
// ahead of them. A process that dies without the system going down loses
// nothing of its writes, so a start during the same boot takes the partial
// file's size as the offset; after a system restart the recorded offset holds,
// and the client sends the rest again from there.
class UploadStateStore {
public:
    // An idle upload expires after this.
    static constexpr std::uint64_t kLifetimeMs = 86'400'000;
    // How much of an upload's progress a power cut may cost at most: as often
    // as the file system commits its own journal, so a flush per piece does
    // not halve the speed of a fast link.
    static constexpr std::uint64_t kCheckpointMs = 5000;

    enum class Claim { Ok, NotFound, Busy };

    // Removes a PUT's record when the PUT ends, after its temporary file.
    class RunningPut {
    public:
        RunningPut() = default;
        explicit RunningPut(std::string path) : m_path(std::move(path)) {}
        RunningPut(RunningPut&& other) noexcept : m_path(std::exchange(other.m_path, {})) {}
        RunningPut& operator=(RunningPut&&) = delete;
        RunningPut(const RunningPut&) = delete;
        ~RunningPut();

    private:
        std::string m_path;
    };

    UploadStateStore() = default;
    UploadStateStore(const UploadStateStore&) = delete;
    UploadStateStore& operator=(const UploadStateStore&) = delete;

    // Uses `folder` (created private when missing) from now on: takes over the
    // resumable uploads recorded there whose partial file is still in place
    // and has not expired, flushing each file so that its size is an offset on
    // the disk, and removes everything else: expired uploads with their files,
    // leftovers of PUTs, records that cannot be read. False when the folder
    // cannot be used; uploads then work without surviving a restart.
    bool Open(const std::string& folder, std::uint64_t nowTick, std::int64_t nowUnix);
    bool IsOpen() const;

    // Records a new resumable upload under `id`; false when it cannot be
    // kept on the disk.
    bool Add(const std::string& id, UploadRecord record, std::uint64_t nowTick);
    // A copy of the upload unless it is unknown or expired. While a request
    // writes to it, waits up to `settle` for that request to end, so that a
    // client whose connection just broke learns the offset its bytes reached.
    std::optional<UploadRecord> Find(std::string_view id, std::uint64_t nowTick,
                                     std::chrono::milliseconds settle = {});
    // Marks the upload as being written to by one request, waiting up to
    // `settle` for another such request to end; Busy when it does not.
    Claim Acquire(std::string_view id, std::uint64_t nowTick, UploadRecord& out,
                  std::chrono::milliseconds settle = {});
    // Ends a claim, keeping the new offset and renewing the upload's life.
    // With `flushed` (the partial file is on the disk up to `offset`) the
    // record is written too and a new checkpoint interval begins. False when
    // the record could not be written; the offset holds in memory either way.
    bool Release(std::string_view id, std::uint64_t offset, bool flushed, std::uint64_t nowTick,
                 std::int64_t nowUnix);
    // True when the upload's last checkpoint is kCheckpointMs or more ago.
    bool CheckpointDue(std::string_view id, std::uint64_t nowTick);
    // Forgets the upload and removes its record (its file must be gone first).
    void Forget(std::string_view id);
    // Removes the upload's partial file, then forgets it.
    void Discard(std::string_view id);
    // The tick at which the upload expires; 0 when it is unknown.
    std::uint64_t ExpiryTick(std::string_view id);

    // Removes expired uploads that no request is writing to, their partial
    // files first. Cheap when nothing is due.
    void PurgeExpired(std::uint64_t nowTick);

    // Records a PUT's temporary file before it is created; the returned
    // object removes the record again. Nothing is recorded while no folder
    // is open.
    RunningPut NoteRunningPut(const std::string& folder, const std::string& temp);

private:
    struct Entry {
        UploadRecord record;
        std::uint64_t expiryTick{0};
        std::uint64_t checkpointTick{0}; // when the record last named the offset
        bool busy{false};
    };

    std::string RecordPath(std::string_view id) const;
    void Adopt(const std::string& fileName, std::uint64_t nowTick, std::int64_t nowUnix);
    void ScheduleLocked();

    // Waits for `id` to be no longer busy (or gone) for up to `settle`; the
    // lock is held on return. The iterator is end() when the upload is gone.
    std::map<std::string, Entry, std::less<>>::iterator
    SettledLocked(std::unique_lock<std::mutex>& lock, std::string_view id,
                  std::chrono::milliseconds settle);

    mutable std::mutex m_mutex;        // guards every member below
    std::condition_variable m_settled; // a claim ended
    std::string m_folder;
    std::string m_bootId; // the running boot, kept in every record written
    std::map<std::string, Entry, std::less<>> m_uploads; // by id
    std::uint64_t m_nextExpiry{0};                       // earliest expiry tick; 0 when none
};

} // namespace Velto::Corvane
