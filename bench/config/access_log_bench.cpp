// Appends access-log records as the web application does (one per request,
// from many connection threads at once) and prints the records per second
// with 1 thread and with 8, the median of several rounds.
// Usage: access_log_bench [records per thread] [rounds] [folder]
#include "config/access_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Velto::Corvane::AccessLog;
using Velto::Corvane::AccessLogEntry;

constexpr int kDefaultRecords = 50000;
constexpr int kDefaultRounds = 5;
constexpr int kThreadCounts[] = {1, 8};

AccessLogEntry DownloadRecord() {
    AccessLogEntry entry;
    entry.address = "192.168.0.23";
    entry.action = "download";
    entry.detail = u"/Pictures/2024/holiday/IMG_0042.jpg";
    entry.result = 200;
    entry.size = 1024;
    return entry;
}

// Records per second of `threads` threads appending `records` each to a
// fresh log.
double Round(const std::filesystem::path& folder, int threads, int records) {
    std::filesystem::remove_all(folder);
    AccessLog log{folder.string()};
    const AccessLogEntry record = DownloadRecord();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < records; ++i)
                log.Append(record); // time 0: "now", as a request appends it
        });
    }
    for (auto& worker : workers)
        worker.join();
    log.Flush(); // counted once every record is in the file, not only in memory
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return threads * static_cast<double>(records) / elapsed.count();
}

} // namespace

int main(int argc, char** argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : kDefaultRecords;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : kDefaultRounds;
    if (records < 1 || rounds < 1)
        return 2;
    const std::filesystem::path root =
        argc > 3 ? std::filesystem::path{argv[3]}
                 : std::filesystem::temp_directory_path() / "velto-access-log-bench";
    const std::filesystem::path folder = root / "logs";
    for (const int threads : kThreadCounts) {
        std::vector<double> rates;
        for (int r = 0; r < rounds; ++r)
            rates.push_back(Round(folder, threads, records));
        std::sort(rates.begin(), rates.end());
        std::printf("%d thread%s: %.0f records/s (median of %d; min %.0f, max %.0f)\n", threads,
                    threads == 1 ? "" : "s", rates[rates.size() / 2], rounds, rates.front(),
                    rates.back());
    }
    std::filesystem::remove_all(root);
    return 0;
}
