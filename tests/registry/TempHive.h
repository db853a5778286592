// A private XDG_CONFIG_HOME for one test, removed afterwards.
#pragma once

#include "registry/winreg.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace kelvo::testing {

class TempHive {
public:
    TempHive()
    {
        EXPECT_TRUE(dir_.isValid());
        ::setenv("XDG_CONFIG_HOME", dir().c_str(), 1);
    }
    ~TempHive() { ::unsetenv("XDG_CONFIG_HOME"); }  // never one left pointing at a removed folder

    std::string dir() const { return dir_.path().toStdString(); }
    std::string kelvoDir() const { return dir() + "/kelvo"; }
    std::string file() const { return kelvoDir() + "/user.reg"; }

    // The hive file, or another file beside it.
    std::string Read(const std::string& path = {}) const
    {
        std::stringstream s;
        s << std::ifstream(path.empty() ? file() : path, std::ios::binary).rdbuf();
        return s.str();
    }
    void Write(const std::string& text) const
    {
        std::filesystem::create_directories(kelvoDir());
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << text;
    }
    // Files beside the hive whose names say they hold a damaged copy.
    std::vector<std::string> DamagedCopies() const
    {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(kelvoDir()))
            if (entry.path().filename().string().rfind("user.reg.damaged-", 0) == 0) out.push_back(entry.path());
        return out;
    }

private:
    QTemporaryDir dir_{QDir::tempPath() + "/kelvo-hive-XXXXXX"};
};

// RegSetValueExA with the data's own length.
inline LONG SetValue(HKEY key, const char* name, DWORD type, std::string_view data)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(data.data());
    return RegSetValueExA(key, name, 0, type, bytes, static_cast<DWORD>(data.size()));
}

// A test with a private hive of its own.
class HiveTest : public ::testing::Test {
protected:
    TempHive hive;
};

}  // namespace kelvo::testing
