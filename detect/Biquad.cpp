#include "detect/Biquad.h"

#include <cmath>

namespace mirl {

namespace {

struct Design {
    float c, alpha, a0;
};

// omega is 2*pi*corner already divided by the sample rate.
Design design(float omega) {
    const float s = std::sin(omega);
    const float c = std::cos(omega);
    const float alpha = s / 1.414f;
    return {c, alpha, 1.0f + alpha};
}

} // namespace

BiquadCoeffs lowPass800(float sampleRateHz) {
    const Design d = design(5026.548f / sampleRateHz); // 2*pi*800
    BiquadCoeffs k;
    k.b0 = (1.0f - d.c) / 2.0f / d.a0;
    k.b1 = (1.0f - d.c) / d.a0;
    k.b2 = (1.0f - d.c) / 2.0f / d.a0;
    k.a1 = -2.0f * d.c / d.a0;
    k.a2 = (1.0f - d.alpha) / d.a0;
    return k;
}

BiquadCoeffs highPass50(float sampleRateHz) {
    const Design d = design(314.15924f / sampleRateHz); // 2*pi*50
    BiquadCoeffs k;
    k.b0 = (1.0f + d.c) / 2.0f / d.a0;
    k.b1 = -(1.0f + d.c) / d.a0;
    k.b2 = (1.0f + d.c) / 2.0f / d.a0;
    k.a1 = -2.0f * d.c / d.a0;
    k.a2 = (1.0f - d.alpha) / d.a0;
    return k;
}

void runBiquad(std::span<float> samples, const BiquadCoeffs& c, BiquadState& state) {
    float z1 = state.z1, z2 = state.z2;
    for (float& x : samples) {
        const float in = x;
        const float y = c.b0 * in + z1;
        z1 = c.b1 * in - c.a1 * y + z2;
        z2 = c.b2 * in - c.a2 * y;
        x = y;
    }
    state.z1 = z1;
    state.z2 = z2;
}

void preEmphasis(std::span<float> samples, float& last) {
    float previous = last;
    for (float& x : samples) {
        const float in = x;
        x = in - 0.95f * previous;
        previous = in;
    }
    last = previous;
}

void runBandFilter(std::span<float> samples, const BiquadCoeffs& a, BiquadState& aState,
                   const BiquadCoeffs& b, BiquadState& bState, float& last) {
    float a1 = aState.z1, a2 = aState.z2, b1 = bState.z1, b2 = bState.z2, previous = last;
    for (float& x : samples) {
        const float in = x;
        const float ya = a.b0 * in + a1;
        a1 = a.b1 * in - a.a1 * ya + a2;
        a2 = a.b2 * in - a.a2 * ya;
        const float yb = b.b0 * ya + b1;
        b1 = b.b1 * ya - b.a1 * yb + b2;
        b2 = b.b2 * ya - b.a2 * yb;
        x = yb - 0.95f * previous;
        previous = yb;
    }
    aState = {a1, a2};
    bState = {b1, b2};
    last = previous;
}

} // namespace mirl
