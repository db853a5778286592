// Times a change of input as Kelvo's recorder sees it: from the moment the
// choice changes (Kelvo's menu, or the server's default) until the first
// 150 ms frame holding the new source's sound is complete.
//   kelvo-input-switch menu SOURCE
//   kelvo-input-switch default "COMMAND TO THE TONE" "COMMAND BACK"
//   kelvo-input-switch list      # how long the menu waits for the source list
// The default input must be silent and SOURCE (or the new default) a tone.
#include "capture/WaveIn.h"
#include "winmm/input_choice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The swing of one recorded frame: 0 for silence.
int Swing(WaveIn& recorder)
{
    std::vector<std::uint8_t> frame(1200);
    if (!recorder.WaveRecord(static_cast<std::int32_t>(frame.size()))) return -1;
    while (!recorder.Filled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    recorder.RetrieveData(frame.data(), static_cast<std::int32_t>(frame.size()));
    const auto [low, high] = std::minmax_element(frame.begin(), frame.end());
    return *high - *low;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!(mode == "menu" && argc == 3) && !(mode == "default" && argc == 4) && !(mode == "list" && argc == 2)) {
        std::fprintf(stderr, "usage: kelvo-input-switch menu SOURCE | default COMMAND BACK-COMMAND | list\n");
        return 2;
    }
    WaveIn recorder([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    if (!recorder.WaveOpen(false, 8000, 8)) return std::fprintf(stderr, "cannot open the recorder\n"), 1;
    std::vector<double> times;
    if (mode == "list") {
        std::size_t sources = 0;
        for (int run = 0; run < 21; ++run) {
            const auto start = Clock::now();
            sources = winmm::waveInSources().size();
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf("source list (%zu sources): median %.1f ms, range %.1f..%.1f ms over %zu reads\n", sources,
                    times[times.size() / 2], times.front(), times.back(), times.size());
        return 0;
    }
    for (int run = 0; run < 5; ++run) {
        // Silence first: the frames of the old source.
        for (int flat = 0, frames = 0; flat < 3; flat = Swing(recorder) < 10 ? flat + 1 : 0) {
            if (++frames > 100) return std::fprintf(stderr, "the old source never went quiet\n"), 1;
        }
        const auto start = Clock::now();
        if (mode == "menu") winmm::waveInSetPreferred(argv[2]);
        else if (std::system(argv[2]) != 0) return 1;
        int frames = 0;
        while (Swing(recorder) < 100) {
            if (++frames > 100) return std::fprintf(stderr, "the new source never came\n"), 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::printf("%s switch %d: %.0f ms\n", mode.c_str(), run + 1, times.back());
        if (mode == "menu") winmm::waveInSetPreferred(winmm::kDefaultInput);
        else if (std::system(argv[3]) != 0) return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: median %.0f ms, range %.0f..%.0f ms over %zu switches\n", mode.c_str(), times[2], times.front(),
                times.back(), times.size());
    return 0;
}
