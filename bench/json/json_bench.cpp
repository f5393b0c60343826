// Parse speed and memory of ParseJson on three documents: the densest body a
// visitor can send (a 256 KiB array of zeros), a request naming 10,000 items,
// and a configuration file. Prints, for each, the megabytes parsed per second
// of the thread's processor time (median of the rounds, so that other load on
// the machine counts little) and the heap the parsed tree holds: in all, per
// value, and as a multiple of the text's size.
#include "json/json.h"

#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Velto::Corvane::JsonValue;
using Velto::Corvane::kJsonMaxDepth;
using Velto::Corvane::ParseJson;

constexpr std::size_t kBodyBytes = 262'144;
constexpr int kNames = 10'000;
constexpr int kShares = 200;
constexpr double kMiB = 1048576.0;
// The web application's limit on the values of one request body.
constexpr std::size_t kRequestValues = 10'240;

std::string Zeros() {
    std::string text = "[0";
    while (text.size() + 3 <= kBodyBytes)
        text += ",0";
    text += ']';
    return text;
}

std::string Names() {
    std::string text = R"({"share":"photos","path":"2024/summer","names":[)";
    for (int i = 0; i < kNames; ++i) {
        if (i != 0)
            text += ',';
        text += "\"IMG_" + std::to_string(20240000 + i) + ".jpg\"";
    }
    text += "]}";
    return text;
}

std::string Configuration() {
    std::string text = R"({"server":{"port":8080,"https":false,"upnp":true},"shares":[)";
    for (int i = 0; i < kShares; ++i) {
        if (i != 0)
            text += ',';
        text += R"({"id":"00000000000000)" + std::to_string(10 + i % 90) + R"(","name":"Share )" +
                std::to_string(i) + R"(","path":"/home/user/Documents/Folder )" +
                std::to_string(i) + R"(","guest":1,"readOnly":false,"password":""})";
    }
    text += R"(],"accounts":[{"name":"alice","password":"pbkdf2-sha256$600000$00","access":{}}]})";
    return text;
}

std::size_t CountValues(const JsonValue& value) {
    std::size_t count = 1;
    for (const JsonValue& element : value.AsArray())
        count += CountValues(element);
    for (const auto& member : value.AsMembers())
        count += CountValues(member.second);
    return count;
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void Measure(const char* name, const std::string& text, int rounds) {
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        const double start = ThreadSeconds();
        auto [value, ok] = ParseJson(text, kJsonMaxDepth);
        const double elapsed = ThreadSeconds() - start;
        if (!ok)
            std::exit(1);
        seconds.push_back(elapsed);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];

    malloc_trim(0);
    const std::size_t before = HeapInUse();
    auto [value, ok] = ParseJson(text, kJsonMaxDepth);
    const std::size_t held = HeapInUse() - before;
    const std::size_t values = CountValues(value);
    std::printf(
        "%-14s %8zu bytes %6zu values %8.1f MB/s %9zu heap bytes %6.1f B/value %5.2f x text\n",
        name, text.size(), values, static_cast<double>(text.size()) / kMiB / median, held,
        static_cast<double>(held) / static_cast<double>(values),
        static_cast<double>(held) / static_cast<double>(text.size()));
}

} // namespace

// A request body is parsed with a limit on its values; the array of zeros is
// then refused. Prints the time the refusal takes and the heap it leaves held.
void MeasureRefusal(const char* name, const std::string& text, std::size_t maxValues, int rounds) {
    std::vector<double> seconds;
    const std::size_t before = HeapInUse();
    for (int i = 0; i < rounds; ++i) {
        const double start = ThreadSeconds();
        auto [value, ok] = ParseJson(text, kJsonMaxDepth, maxValues);
        const double elapsed = ThreadSeconds() - start;
        if (ok)
            std::exit(1);
        seconds.push_back(elapsed);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%-14s %8zu bytes refused after %zu values in %.1f us, %zd heap bytes held\n", name,
                text.size(), maxValues, seconds[seconds.size() / 2] * 1e6,
                static_cast<std::ptrdiff_t>(HeapInUse() - before));
}

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
    if (rounds < 1)
        return 2;
    Measure("zeros", Zeros(), rounds);
    Measure("names", Names(), rounds);
    Measure("configuration", Configuration(), rounds);
    MeasureRefusal("zeros, limited", Zeros(), kRequestValues, rounds);
    return 0;
}
