#include "app/SampleMapping.h"

#include "common/RuntimeError.h"

#include <algorithm>

namespace kelvo {

std::int32_t SampleIndexOfColumn(std::int32_t x, std::int32_t width, std::int32_t n)
{
    const auto k = RoundTo<std::int32_t>(static_cast<double>(x) / width * n);
    return std::clamp<std::int32_t>(k, 1, std::max<std::int32_t>(n, 1));
}

std::int16_t RowOfSample(std::uint8_t sample, double fullScale, std::int16_t height)
{
    return RoundTo<std::int16_t>(sample / fullScale * height);
}

std::int16_t RowOfColumn(std::span<const std::uint8_t> samples, std::int32_t x, std::int16_t width,
                         std::int16_t height, double fullScale)
{
    constexpr std::uint8_t silence = 128;
    if (samples.empty()) return RowOfSample(silence, fullScale, height);
    const auto n = static_cast<std::int32_t>(samples.size());
    return RowOfSample(samples[SampleIndexOfColumn(x, width, n) - 1], fullScale, height);
}

}  // namespace kelvo
