#pragma once

#include "base/unique_fd.h"

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// A file that is only ever appended to, kept open between appends. Each
// append writes its bytes with one write() on an O_APPEND descriptor, so
// concurrent appends from any thread (or process) never split each other's
// bytes, and no lock is held while the write runs. The path is opened (created
// 0600) afresh when a different path is asked for, when the open file was
// deleted (looked at before every append, with one fstat) and when the path
// names another file, the open one having been moved away or replaced (looked
// up at most once per kPathCheckInterval: a path lookup costs more than the
// write itself). So other programs may read, move or delete the file at any time.
class AppendOnlyFile {
public:
    static constexpr std::chrono::milliseconds kPathCheckInterval{1000};

    enum class Outcome {
        Written,
        MissingFolder, // the folder of the path does not exist
        Failed,
    };

    Outcome Append(std::string_view path, std::string_view bytes);

private:
    struct OpenFile {
        std::string path;
        UniqueFd fd;
        dev_t device{0};
        ino_t inode{0};
        // TickCount64 time at which the path is looked up next.
        mutable std::atomic<std::uint64_t> nextPathCheck{0};
    };

    static bool StillNamed(const OpenFile& file);
    std::shared_ptr<const OpenFile> Current() const;
    Outcome Open(std::string_view path, std::shared_ptr<const OpenFile>& file);

    mutable std::mutex m_mutex; // guards m_current (not the writes through it)
    std::shared_ptr<const OpenFile> m_current;
};

} // namespace Velto::Corvane
