#pragma once

#include <mutex>
#include <string_view>

namespace App {

// Whole lines to standard output or standard error from any thread; each line
// is written and flushed at once, so lines of different threads never mix.
class ConsoleOutput {
public:
    void Line(std::string_view text);
    void ErrorLine(std::string_view text);

private:
    std::mutex m_mutex; // serialises the writes
};

} // namespace App
