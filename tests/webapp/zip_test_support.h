#pragma once

#include "tests/webapp/web_app_fixture.h"

#include <filesystem>
#include <string>
#include <vector>

namespace Velto::Corvane::Testing {

// The text in single quotes for a shell command line.
std::string ShellQuoted(std::string_view text);
// Runs a shell command; its standard output and error together.
std::string RunCommand(const std::string& command, int& exitCode);

// The ZIP routes through the real server, with archives fetched by curl (or
// by a sparse-writing reader for huge ones) and read by real tools.
class ZipFixture : public WebAppFixture {
protected:
    struct Fetched {
        int curlExit{-1}; // 0 when the whole reply arrived
        int status{0};
        std::string headers; // the head as received
    };

    // POST /api/zip; the reply as is. `source` is the client's loopback
    // address (127.0.0.1 when none).
    ClientResponse Prepare(std::string_view share, std::string_view path,
                           const std::vector<std::string>& names, std::string_view cookie = {},
                           const char* source = nullptr);
    // The "/zip/..." URL of a prepared job (fails the test on refusal).
    std::string PrepareUrl(std::string_view share, std::string_view path,
                           const std::vector<std::string>& names, std::string_view cookie = {});
    // GET with curl into `file`.
    Fetched Fetch(const std::string& target, const std::filesystem::path& file,
                  std::string_view cookie = {});
    // GET, de-chunked into `file`, skipping runs of zeros so the file stays sparse.
    bool FetchSparse(const std::string& target, const std::filesystem::path& file);
    // The archive as zip_inspect.py reports it.
    JsonValue Inspect(const std::filesystem::path& file);
    // Every reader must accept the archive: unzip -t (unless `withUnzip` is
    // false), 7z t, bsdtar -tf.
    void ExpectReadersAccept(const std::filesystem::path& file, bool withUnzip = true);
};

} // namespace Velto::Corvane::Testing
