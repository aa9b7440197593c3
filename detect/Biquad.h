#pragma once

#include <span>

namespace mirl {

/// One second-order section, a0 normalised to 1. The default passes the signal through.
struct BiquadCoeffs {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

/// The two state words of a transposed direct-form II section.
struct BiquadState {
    float z1 = 0, z2 = 0;
};

/// Low-pass and high-pass sections of the audio-equalizer cookbook with Q = 1/1.414, designed
/// in single precision for a sample rate of sampleRateHz.
BiquadCoeffs lowPass800(float sampleRateHz);
BiquadCoeffs highPass50(float sampleRateHz);

/// Runs samples through the section in place, in single precision:
/// y = b0*x + z1; z1 = b1*x - a1*y + z2; z2 = b2*x - a2*y.
void runBiquad(std::span<float> samples, const BiquadCoeffs& c, BiquadState& state);

/// runBiquad with `first`, then with `second`, then preEmphasis, in one pass: the same
/// arithmetic sample by sample (so the same results), with the two sections' recursions
/// overlapping in the processor instead of running one after the other.
void runBandFilter(std::span<float> samples, const BiquadCoeffs& first, BiquadState& firstState,
                   const BiquadCoeffs& second, BiquadState& secondState, float& last);

/// y[i] = x[i] - 0.95*x[i-1] in place, x[-1] being `last`; `last` becomes the last input sample.
void preEmphasis(std::span<float> samples, float& last);

} // namespace mirl
