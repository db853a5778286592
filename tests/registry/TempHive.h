// A private XDG_CONFIG_HOME for one test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kelvo::testing {

class TempHive {
public:
    TempHive()
    {
        char pattern[] = "/tmp/kelvo-hive-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    TempHive(const TempHive&) = delete;
    TempHive& operator=(const TempHive&) = delete;
    ~TempHive()
    {
        old_ ? ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    const std::string& dir() const { return dir_; }
    std::string kelvoDir() const { return dir_ + "/kelvo"; }
    std::string file() const { return kelvoDir() + "/user.reg"; }

    std::string Read() const
    {
        std::stringstream s;
        s << std::ifstream(file(), std::ios::binary).rdbuf();
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
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(kelvoDir(), ec)) {
            if (entry.path().filename().string().rfind("user.reg.damaged-", 0) == 0) out.push_back(entry.path());
        }
        return out;
    }

private:
    std::string dir_;
    std::optional<std::string> old_;
};

}  // namespace kelvo::testing
