// One LoadStoredSettings and one SaveStoredSettings against a hive file in a
// private XDG_CONFIG_HOME.
#include "settings/StoredSettings.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
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

}  // namespace
