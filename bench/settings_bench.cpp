// One LoadStoredSettings and one SaveStoredSettings against a hive file in a
// private XDG_CONFIG_HOME.
#include "registry/hive_format.h"
#include "registry/winreg.h"
#include "settings/StoredSettings.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class PrivateHive {
public:
    PrivateHive()
    {
        char pattern[] = "/tmp/kelvo-bench-XXXXXX";
        dir_ = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp/kelvo-bench";
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        SaveStoredSettings(45);
    }
    ~PrivateHive()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::string dir_;
};

void BM_LoadStoredSettings(benchmark::State& state)
{
    PrivateHive hive;
    for (auto _ : state) benchmark::DoNotOptimize(LoadStoredSettings());
}
BENCHMARK(BM_LoadStoredSettings);

// Alternates the value so that every save really writes (and fsyncs) the file.
void BM_SaveStoredSettings(benchmark::State& state)
{
    PrivateHive hive;
    std::int16_t interval = 150;
    for (auto _ : state) {
        interval = interval == 150 ? 155 : 150;
        benchmark::DoNotOptimize(SaveStoredSettings(interval));
    }
}
BENCHMARK(BM_SaveStoredSettings)->Unit(benchmark::kMicrosecond);

// A hive of `n` numbers under the applet's key, as the registry editor writes it.
std::string HiveText(std::int64_t n)
{
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n";
    for (std::int64_t i = 0; i < n; ++i) text += "\"Value" + std::to_string(i) + "\"=dword:0000002d\n";
    return text;
}

// Reading grows with the size of the hive, not with its square.
void BM_ReadHive(benchmark::State& state)
{
    const std::string text = HiveText(state.range(0));
    for (auto _ : state) {
        const auto file = kelvo::registry::ParseRegFile(text);
        kelvo::registry::KeyNode root;
        std::vector<kelvo::registry::RegFileProblem> problems;
        kelvo::registry::ApplyRegFile(file, root, problems);
        benchmark::DoNotOptimize(root);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadHive)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_WriteHive(benchmark::State& state)
{
    const auto file = kelvo::registry::ParseRegFile(HiveText(state.range(0)));
    kelvo::registry::KeyNode root;
    std::vector<kelvo::registry::RegFileProblem> problems;
    kelvo::registry::ApplyRegFile(file, root, problems);
    for (auto _ : state) benchmark::DoNotOptimize(kelvo::registry::SerializeRegFile(root, "HKEY_CURRENT_USER"));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteHive)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// Every value of the key through the registry functions, as kelvo-reg query
// lists them, from the hive file.
void BM_EnumerateValues(benchmark::State& state)
{
    PrivateHive hive;
    std::ofstream(std::string(std::getenv("XDG_CONFIG_HOME")) + "/kelvo/user.reg") << HiveText(state.range(0));
    for (auto _ : state) {
        kelvo::registry::UniqueKey key;
        RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.put());
        char name[64];
        BYTE data[4];
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
            if (RegEnumValueA(key.get(), i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
            RegQueryValueExA(key.get(), name, nullptr, &type, data, &dataLength);
        }
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EnumerateValues)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// Every subkey of a key by index, as kelvo-reg query /s walks them.
void BM_EnumerateSubkeys(benchmark::State& state)
{
    PrivateHive hive;
    std::string text = "REGEDIT4\n\n";
    for (int i = 0; i < state.range(0); ++i) text += "[HKEY_CURRENT_USER\\Many\\k" + std::to_string(i) + "]\n\n";
    std::ofstream(std::string(std::getenv("XDG_CONFIG_HOME")) + "/kelvo/user.reg") << text;
    for (auto _ : state) {
        kelvo::registry::UniqueKey key;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Many", 0, KEY_READ, key.put());
        char name[64];
        for (DWORD i = 0; RegEnumKeyA(key.get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) benchmark::DoNotOptimize(name);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EnumerateSubkeys)->Arg(1000)->Arg(30000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
