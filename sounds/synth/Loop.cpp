#include "Voices.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mirl::synth {

std::vector<float> renderLoop(const Voicing& voice, unsigned seed) {
    std::mt19937 random(seed);
    const auto loop = static_cast<std::size_t>(voice.loopSeconds * kRate);
    const std::size_t fade = kRate; // one second
    const double total = static_cast<double>(2 * loop + fade) / kRate;
    std::vector<float> raw = voice.render(total, random);
    raw.resize(2 * loop + fade, 0.0f);

    std::vector<float> out(raw.begin() + static_cast<std::ptrdiff_t>(loop),
                           raw.begin() + static_cast<std::ptrdiff_t>(2 * loop));
    for (std::size_t i = 0; i < fade; ++i) {
        const double angle = std::numbers::pi / 2 * static_cast<double>(i) / static_cast<double>(fade);
        out[i] = static_cast<float>(out[i] * std::sin(angle) + raw[2 * loop + i] * std::cos(angle));
    }
    // Even loudness across the sounds (RMS 0.1), without letting a peak pass 0.9.
    double peak = 0;
    double energy = 0;
    for (float s : out) {
        peak = std::max(peak, static_cast<double>(std::abs(s)));
        energy += static_cast<double>(s) * s;
    }
    const double rms = std::sqrt(energy / static_cast<double>(out.size()));
    if (peak > 0 && rms > 0) {
        const auto scale = static_cast<float>(std::min(0.1 / rms, 0.9 / peak));
        for (auto& s : out) {
            s *= scale;
        }
    }
    return out;
}

} // namespace mirl::synth
