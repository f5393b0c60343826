#include "app/console_output.h"

#include <cstdio>

namespace App {
namespace {

void Write(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

void ConsoleOutput::Line(std::string_view text) {
    const std::lock_guard lock(m_mutex);
    Write(stdout, text);
}

void ConsoleOutput::ErrorLine(std::string_view text) {
    const std::lock_guard lock(m_mutex);
    Write(stderr, text);
}

} // namespace App
