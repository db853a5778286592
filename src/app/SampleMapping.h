// The column-to-sample mapping every renderer shares: column x of a trace W
// pixels wide shows sample round(x / W * n), at row round(s / D * H).
#pragma once

#include <cstdint>
#include <span>

namespace kelvo {

// Samples are numbered 1..n. The index is clamped to that range so that a
// short block never reads sample 0 or past its end.
std::int32_t SampleIndexOfColumn(std::int32_t x, std::int32_t width, std::int32_t n);

std::int16_t RowOfSample(std::uint8_t sample, double fullScale, std::int16_t height);

// Row of column x (1..width); an empty block gives the row of silence.
std::int16_t RowOfColumn(std::span<const std::uint8_t> samples, std::int32_t x, std::int16_t width,
                         std::int16_t height, double fullScale);

}  // namespace kelvo
