#pragma once

#include "base/unique_fd.h"
#include "webapp/fs/create_at.h"

#include <string>
#include <utility>

namespace Velto::Corvane {

// The temporary file of one upload. It is removed when this goes out of scope
// unless it was renamed to its final name or kept for a later request, so no
// path out of a route (an exception included) leaves it behind by accident.
class TemporaryUpload {
public:
    TemporaryUpload(int folderFd, std::string name, UniqueFd file)
        : m_folderFd(folderFd), m_name(std::move(name)), m_file(std::move(file)) {}
    TemporaryUpload(const TemporaryUpload&) = delete;
    TemporaryUpload& operator=(const TemporaryUpload&) = delete;
    ~TemporaryUpload() { Discard(); }

    int Fd() const { return m_file.Get(); }
    const std::string& Name() const { return m_name; }
    void Close() { m_file.Reset(); }
    // The file now lives under its final name, or stays for the next piece.
    void Release() { m_name.clear(); }
    // Removes the file now, before the reply tells the client it is gone.
    void Discard() {
        m_file.Reset();
        if (!m_name.empty())
            RemoveFileAt(m_folderFd, m_name);
        m_name.clear();
    }

private:
    int m_folderFd;
    std::string m_name;
    UniqueFd m_file;
};

} // namespace Velto::Corvane
