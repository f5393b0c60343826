#include "tests/webapp/zip_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Velto::Corvane::Testing {

std::string ShellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

namespace {

// Writes `bytes` at the file's position, seeking over whole zero blocks.
bool WriteSparse(int fd, std::string_view bytes) {
    constexpr std::size_t kBlock = 4096;
    static const std::array<char, kBlock> zeros{};
    while (!bytes.empty()) {
        const std::size_t piece = std::min(bytes.size(), kBlock);
        if (piece == kBlock && std::memcmp(bytes.data(), zeros.data(), kBlock) == 0) {
            if (::lseek(fd, kBlock, SEEK_CUR) < 0)
                return false;
        } else if (::write(fd, bytes.data(), piece) != static_cast<ssize_t>(piece)) {
            return false;
        }
        bytes.remove_prefix(piece);
    }
    return true;
}

// A GET on its own connection whose chunked body is handed out piece by piece.
class ChunkedReader {
public:
    explicit ChunkedReader(std::uint16_t port) {
        UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd &&
            ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            m_fd = std::move(fd);
    }

    // Sends the request and reads the head: a chunked 200 is expected.
    bool Request(const std::string& target) {
        const std::string request =
            "GET " + target + " HTTP/1.1\r\nHost: test\r\nConnection: close\r\n\r\n";
        if (!m_fd || ::send(m_fd.Get(), request.data(), request.size(), MSG_NOSIGNAL) !=
                         static_cast<ssize_t>(request.size()))
            return false;
        std::size_t end;
        while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill())
                return false;
        }
        const std::string head = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 4);
        return head.starts_with("HTTP/1.1 200 ") &&
               head.find("Transfer-Encoding: chunked") != std::string::npos;
    }

    // The next piece of body bytes; `ended` after the last chunk.
    bool Next(std::string_view& piece, bool& ended) {
        m_buffer.erase(0, m_consumed);
        m_consumed = 0;
        if (m_chunkLeft == 0) {
            if (m_afterChunk && !Need(2))
                return false;
            if (m_afterChunk)
                m_buffer.erase(0, 2);
            std::size_t lineEnd;
            while ((lineEnd = m_buffer.find("\r\n")) == std::string::npos) {
                if (!Fill())
                    return false;
            }
            m_chunkLeft = std::strtoull(m_buffer.c_str(), nullptr, 16);
            m_buffer.erase(0, lineEnd + 2);
            m_afterChunk = true;
            if (m_chunkLeft == 0) {
                ended = true;
                piece = {};
                return true;
            }
        }
        if (m_buffer.empty() && !Fill())
            return false;
        m_consumed =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_chunkLeft, m_buffer.size()));
        m_chunkLeft -= m_consumed;
        piece = std::string_view(m_buffer).substr(0, m_consumed);
        return true;
    }

private:
    bool Need(std::size_t count) {
        while (m_buffer.size() < count) {
            if (!Fill())
                return false;
        }
        return true;
    }
    bool Fill() {
        const ssize_t got = ::recv(m_fd.Get(), m_scratch.data(), m_scratch.size(), 0);
        if (got <= 0)
            return false;
        m_buffer.append(m_scratch.data(), static_cast<std::size_t>(got));
        return true;
    }

    UniqueFd m_fd;
    std::vector<char> m_scratch = std::vector<char>(1 << 20);
    std::string m_buffer;
    std::size_t m_consumed{0};
    std::uint64_t m_chunkLeft{0};
    bool m_afterChunk{false};
};

} // namespace

std::string RunCommand(const std::string& command, int& exitCode) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        exitCode = -1;
        return output;
    }
    std::array<char, 4096> buffer;
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

ClientResponse ZipFixture::Prepare(std::string_view share, std::string_view path,
                                   const std::vector<std::string>& names, std::string_view cookie,
                                   const char* source) {
    JsonValue body = JsonValue::MakeObject();
    body.Set("share", JsonValue(std::string(share)));
    body.Set("path", JsonValue(std::string(path)));
    JsonValue list = JsonValue::MakeArray();
    for (const std::string& name : names)
        list.Append(JsonValue(name));
    body.Set("names", std::move(list));
    if (source == nullptr)
        return Post("/api/zip", SerializeJson(body, false), cookie);
    HttpClient client(Port(), source);
    EXPECT_TRUE(client.IsConnected()) << source;
    std::vector<std::string> headers = {"x-veltocorvane: 1"};
    if (!cookie.empty())
        headers.push_back("Cookie: vcs=" + std::string(cookie));
    return client.Request("POST", "/api/zip", headers, SerializeJson(body, false))
        .value_or(ClientResponse{});
}

std::string ZipFixture::PrepareUrl(std::string_view share, std::string_view path,
                                   const std::vector<std::string>& names, std::string_view cookie) {
    const ClientResponse reply = Prepare(share, path, names, cookie);
    EXPECT_EQ(reply.status, 200) << reply.body;
    const std::string url = Json(reply).Get("url").AsString();
    EXPECT_TRUE(url.starts_with("/zip/")) << reply.body;
    EXPECT_EQ(url.size(), 5u + 32u);
    return url;
}

ZipFixture::Fetched ZipFixture::Fetch(const std::string& target, const std::filesystem::path& file,
                                      std::string_view cookie) {
    const std::filesystem::path headFile = file.string() + ".head";
    std::string command = "curl -sS -o " + ShellQuoted(file.string()) + " -D " +
                          ShellQuoted(headFile.string()) + " -w '%{http_code}'";
    if (!cookie.empty())
        command += " -H " + ShellQuoted("Cookie: vcs=" + std::string(cookie));
    command += " " + ShellQuoted("http://127.0.0.1:" + std::to_string(Port()) + target);
    Fetched fetched;
    const std::string output = RunCommand(command, fetched.curlExit);
    fetched.status = std::atoi(output.substr(output.size() >= 3 ? output.size() - 3 : 0).c_str());
    int ignored;
    fetched.headers = RunCommand("cat " + ShellQuoted(headFile.string()), ignored);
    return fetched;
}

bool ZipFixture::FetchSparse(const std::string& target, const std::filesystem::path& file) {
    ChunkedReader reader(Port());
    if (!reader.Request(target))
        return false;
    const UniqueFd out(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!out)
        return false;
    bool ended = false;
    while (!ended) {
        std::string_view piece;
        if (!reader.Next(piece, ended) || !WriteSparse(out.Get(), piece))
            return false;
    }
    // A file that ends in a hole still needs its full length.
    const off_t end = ::lseek(out.Get(), 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(out.Get(), end) == 0;
}

JsonValue ZipFixture::Inspect(const std::filesystem::path& file) {
    const char* source = std::getenv("VELTO_SOURCE_DIR");
    EXPECT_NE(source, nullptr);
    int exitCode;
    const std::string output =
        RunCommand("python3 " + ShellQuoted(std::string(source) + "/tests/webapp/zip_inspect.py") +
                       " " + ShellQuoted(file.string()),
                   exitCode);
    EXPECT_EQ(exitCode, 0) << output;
    auto [value, ok] = ParseJson(output, kJsonMaxDepth);
    EXPECT_TRUE(ok) << output;
    return value;
}

void ZipFixture::ExpectReadersAccept(const std::filesystem::path& file, bool withUnzip) {
    const std::string path = ShellQuoted(file.string());
    std::vector<std::string> commands = {"7z t -bd " + path, "bsdtar -tf " + path + " >/dev/null"};
    if (withUnzip)
        commands.push_back("unzip -tq " + path);
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        int exitCode;
        const std::string output = RunCommand(command, exitCode);
        EXPECT_EQ(exitCode, 0) << output;
    }
}

} // namespace Velto::Corvane::Testing
