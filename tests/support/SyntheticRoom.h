#pragma once

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace mirl::test {

/// A bedroom at `rate` Hz: a noise floor, a breath every 4.6 s and, in the first half minute, a
/// little speech-like tone. Fixed seed.
inline std::vector<float> syntheticBedroom(double rate, double seconds) {
    std::mt19937 gen(11);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase = std::fmod(t, 4.6);
        const double breath = phase > 1.4 && phase < 2.4 ? std::sin(std::numbers::pi * (phase - 1.4)) : 0.0;
        const double voice =
            t < 30 ? 0.02 * std::sin(2 * std::numbers::pi * 180 * t) * (std::fmod(t, 2) < 1) : 0;
        out[i] = static_cast<float>(noise(gen) * (0.0005 + 0.008 * breath) + voice);
    }
    return out;
}

} // namespace mirl::test
