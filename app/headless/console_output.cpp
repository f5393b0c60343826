#include "app/headless/console_output.h"

#include <unistd.h>

#include <system_error>

namespace App {
namespace {

// How long the writer waits for a stalled reader before it looks whether the
// run is ending.
constexpr int kStallWaitMs = 100;

std::string DropReport(std::uint64_t dropped) {
    return "\xE2\x80\xA6 " + std::to_string(dropped) + (dropped == 1 ? " line" : " lines") +
           " dropped";
}

} // namespace

ConsoleOutput::ConsoleOutput() : ConsoleOutput(STDOUT_FILENO, STDERR_FILENO) {}

ConsoleOutput::ConsoleOutput(int outputFd, int errorFd) : m_output(outputFd), m_error(errorFd) {
    try {
        m_writer = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Lines are then written by the callers themselves.
    }
}

ConsoleOutput::~ConsoleOutput() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_flushDeadline = std::chrono::steady_clock::now() + kFinalFlushLimit;
    }
    m_wake.notify_one();
    if (m_writer.joinable())
        m_writer.join();
}

void ConsoleOutput::Line(std::string_view text) {
    Queue(text, false);
}

void ConsoleOutput::ErrorLine(std::string_view text) {
    Queue(text, true);
}

void ConsoleOutput::Queue(std::string_view text, bool error) {
    // m_writer is set once, before any line comes.
    if (!m_writer.joinable()) {
        std::string line{text};
        line.push_back('\n');
        const std::lock_guard direct(m_directMutex);
        WriteWhole(error ? m_error : m_output, line);
        return;
    }
    std::unique_lock lock(m_mutex);
    if (m_queue.size() >= kMaxQueuedLines || m_queuedBytes + text.size() > kMaxQueuedBytes) {
        ++m_dropped;
        return;
    }
    const bool wasEmpty = m_queue.empty();
    m_queue.push_back({std::string{text}, error, m_dropped});
    m_queuedBytes += text.size();
    m_dropped = 0;
    const bool crowded = CrowdedLocked();
    lock.unlock();
    // The writer waits for a first line, then gathers until time is up or
    // the queue is crowded.
    if (wasEmpty || crowded)
        m_wake.notify_one();
}

bool ConsoleOutput::CrowdedLocked() const {
    return m_queue.size() >= kMaxQueuedLines / 4 || m_queuedBytes >= kMaxQueuedBytes / 4;
}

void ConsoleOutput::Run() {
    for (;;) {
        std::deque<QueuedLine> batch;
        std::uint64_t droppedAfter = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty() || m_dropped > 0 || m_stopping; });
            if (m_queue.empty() && m_dropped == 0)
                return; // stopping, and everything is out
            // Lines that come close together go out together: a busy server's
            // records cost one write per gathering instead of one each. A
            // quarter of the queue ends the gathering early, so gathering
            // does not make it overflow.
            if (!m_stopping)
                m_wake.wait_for(lock, kGatherTime,
                                [this] { return m_stopping || CrowdedLocked(); });
            batch.swap(m_queue);
            m_queuedBytes = 0;
            // Everything queued goes out now, so output flows again: the
            // lines that did not fit are reported after it, even if no other
            // line follows.
            droppedAfter = std::exchange(m_dropped, 0);
        }
        // One write per run of lines to the same stream, in their order.
        std::string bytes;
        bool error = false;
        for (const QueuedLine& line : batch) {
            if (line.error != error && !bytes.empty()) {
                if (!WriteWhole(error ? m_error : m_output, bytes))
                    return;
                bytes.clear();
            }
            error = line.error;
            if (line.droppedBefore > 0)
                bytes += DropReport(line.droppedBefore) + "\n";
            bytes += line.text;
            bytes.push_back('\n');
        }
        if (!bytes.empty() && !WriteWhole(error ? m_error : m_output, bytes))
            return;
        if (droppedAfter > 0 && !WriteWhole(m_output, DropReport(droppedAfter) + "\n"))
            return;
    }
}

bool ConsoleOutput::WriteWhole(ConsoleStream& stream, std::string_view bytes) {
    for (;;) {
        switch (stream.WriteSome(bytes)) {
        case ConsoleStream::Status::Done:
        case ConsoleStream::Status::Broken: // nobody reads any more: nothing to keep
            return true;
        case ConsoleStream::Status::Stalled:
            break;
        }
        if (PastFinalFlush())
            return false;
        stream.WaitWritable(kStallWaitMs);
    }
}

bool ConsoleOutput::PastFinalFlush() {
    const std::lock_guard lock(m_mutex);
    return m_stopping && std::chrono::steady_clock::now() >= m_flushDeadline;
}

} // namespace App
