#pragma once

#include "app/headless/console_stream.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace App {

// Whole lines to standard output or standard error from any thread, without
// ever making the caller wait for the reader: lines go into a bounded queue
// that a writer thread of this object empties, in order, one whole line after
// another. While the reader takes nothing (a paused terminal, a full pipe) and
// the queue is full, new lines are dropped and counted; once output flows
// again, one line "… N lines dropped" stands where they were. Lines that come
// within kGatherTime of each other are written together. Destruction
// writes what is still queued, waiting at most kFinalFlushLimit for a stalled
// reader, and joins the writer.
class ConsoleOutput {
public:
    static constexpr std::size_t kMaxQueuedLines = 1000;
    static constexpr std::size_t kMaxQueuedBytes = 1 << 20;
    static constexpr std::chrono::milliseconds kFinalFlushLimit{2000};
    static constexpr std::chrono::milliseconds kGatherTime{10};

    // The process's standard output and error.
    ConsoleOutput();
    ConsoleOutput(int outputFd, int errorFd);
    ~ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    void Line(std::string_view text);
    void ErrorLine(std::string_view text);

private:
    struct QueuedLine {
        std::string text;
        bool error{false};
        std::uint64_t droppedBefore{0}; // lines dropped just before this one
    };

    void Queue(std::string_view text, bool error);
    // A quarter of the queue's bound is taken: time to write. m_mutex held.
    bool CrowdedLocked() const;
    void Run();
    // False when it gave up on a stalled reader after the final flush limit.
    bool WriteWhole(ConsoleStream& stream, std::string_view bytes);
    bool PastFinalFlush();

    ConsoleStream m_output;
    ConsoleStream m_error;
    std::mutex m_directMutex; // serialises the writes when there is no writer
    std::mutex m_mutex;       // guards the members below it, up to the thread
    std::condition_variable m_wake;
    std::deque<QueuedLine> m_queue;
    std::size_t m_queuedBytes{0};
    std::uint64_t m_dropped{0}; // dropped since the last queued line
    bool m_stopping{false};
    std::chrono::steady_clock::time_point m_flushDeadline;
    // Without a writer (the thread could not start) lines are written at once.
    std::thread m_writer;
};

} // namespace App
