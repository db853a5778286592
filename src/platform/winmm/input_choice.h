// Kelvo extension to the wave-input service: the choice that Windows users
// make in the sound settings ("preferred device"), made in Kelvo's menu.
#pragma once

#include "winmm/source_choice.h"

#include <functional>
#include <string>
#include <vector>

namespace winmm {

// The sources behind the device numbers, read at once, in their order.
std::vector<SourceInfo> waveInSources();

// `changed` runs on the sound server's thread whenever the list above or the
// server's defaults may have changed; nullptr stops it. Like a window that
// hears of new devices, the caller reads the list again on its own thread.
void waveInWatchSources(std::function<void()> changed);

// What WAVE_MAPPER records from: a source's name, kDefaultInput or
// kWhatIsPlaying. Until it is set, PULSE_SOURCE when that is set, else empty
// (the default input).
std::string waveInGetPreferred();
// Devices open on WAVE_MAPPER move to the new choice.
void waveInSetPreferred(const std::string& choice);

}  // namespace winmm
