#pragma once

#include <bit>
#include <cstdint>

namespace mirl::classifier {

/// log2 of a positive, finite float to about 2e-5 (the exponent plus a short series for the
/// mantissa): per-bin spectral logarithms are the front end's largest cost after the FFTs.
inline float fastLog2(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const float exponent = float(int((bits >> 23) & 255u) - 127);
    const float m = std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u); // [1, 2)
    const float s = (m - 1.0f) / (m + 1.0f);                                  // [0, 1/3)
    const float s2 = s * s;
    constexpr float kInvLn2 = 1.44269504f;
    return exponent + kInvLn2 * s * (2.0f + s2 * (2.0f / 3.0f + s2 * (2.0f / 5.0f + s2 * (2.0f / 7.0f))));
}

/// 10 log10(x) for a power, through fastLog2.
inline float fastPowerDb(float x) {
    constexpr float kDbPerOctave = 3.01029996f; // 10 log10(2)
    return kDbPerOctave * fastLog2(x);
}

} // namespace mirl::classifier
