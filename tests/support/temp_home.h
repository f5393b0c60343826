#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace Velto::Corvane::Testing {

// A temporary folder with HOME and the XDG folders pointed inside it; the
// previous environment comes back when the object goes away.
class TempHome {
public:
    TempHome() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-config-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        root = pattern;
        Set("HOME", root + "/home");
        Set("XDG_CONFIG_HOME", root + "/config");
        Set("XDG_STATE_HOME", root + "/state");
        Set("XDG_DATA_HOME", root + "/data");
        Unset("VELTO_CORVANE_DATA_DIR");
    }
    ~TempHome() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::filesystem::remove_all(root);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    void Set(const std::string& name, const std::string& value) {
        Save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        ::unsetenv(name.c_str());
    }

    std::string root;

private:
    void Save(const std::string& name) {
        if (m_saved.count(name))
            return;
        const char* value = std::getenv(name.c_str());
        m_saved[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }

    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace Velto::Corvane::Testing
