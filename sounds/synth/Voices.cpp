#include "Voices.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mirl::synth {

namespace {

constexpr double kTau = 2 * std::numbers::pi;

std::size_t samples(double seconds) {
    return static_cast<std::size_t>(seconds * kRate);
}

// One-pole low-pass coefficient for a corner frequency.
double lowPass(double hz) {
    return 1.0 - std::exp(-kTau * hz / kRate);
}

// Low-passed white noise.
std::vector<float> noise(double seconds, double cornerHz, std::mt19937& random) {
    std::normal_distribution<double> white(0.0, 1.0);
    std::vector<float> out(samples(seconds));
    const double a = lowPass(cornerHz);
    double y = 0;
    for (auto& s : out) {
        y += a * (white(random) - y);
        s = static_cast<float>(y);
    }
    return out;
}

// A bird call: a few syllables, each a smooth pitch sweep under a raised-sine envelope.
void addChirp(std::vector<float>& out, double start, std::mt19937& random) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double base = 2600 + 1800 * u(random);
    const int syllables = 2 + static_cast<int>(u(random) * 4);
    const double length = 0.05 + 0.08 * u(random);
    const double sweep = (u(random) < 0.5 ? -1 : 1) * (0.15 + 0.25 * u(random));
    const double level = 0.15 + 0.25 * u(random);
    double t0 = start;
    double phase = 0;
    for (int k = 0; k < syllables; ++k) {
        const auto first = samples(t0);
        const auto n = samples(length);
        for (std::size_t i = 0; i < n && first + i < out.size(); ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(n);
            const double f = base * (1 + sweep * x) * (1 + 0.02 * std::sin(kTau * 30 * x * length));
            phase += kTau * f / kRate;
            const double envelope = std::pow(std::sin(std::numbers::pi * x), 2);
            out[first + i] +=
                static_cast<float>(level * envelope * (std::sin(phase) + 0.2 * std::sin(2 * phase)));
        }
        t0 += length + 0.03 + 0.05 * u(random);
    }
}

std::vector<float> birds(double seconds, std::mt19937& random) {
    std::vector<float> out = noise(seconds, 600, random);
    for (auto& s : out) {
        s *= 0.08f; // leaves in the wind
    }
    std::exponential_distribution<double> gap(1.0 / 1.1);
    for (double t = 0.2; t < seconds; t += 0.3 + gap(random)) {
        addChirp(out, t, random);
    }
    return out;
}

std::vector<float> sea(double seconds, std::mt19937& random) {
    std::vector<float> body = noise(seconds, 400, random);
    std::vector<float> hiss = noise(seconds, 4000, random);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    // Wave envelope: a slow rise, a break, a long wash back.
    std::vector<double> envelope(body.size(), 0.15);
    for (double t = -4; t < seconds; t += 6.5 + 2 * u(random)) {
        const double strength = 0.6 + 0.4 * u(random);
        for (std::size_t i = samples(std::max(t, 0.0)); i < envelope.size(); ++i) {
            const double x = static_cast<double>(i) / kRate - t;
            if (x > 9) {
                break;
            }
            const double shape =
                x < 2.5 ? std::pow(std::sin(std::numbers::pi / 2 * x / 2.5), 2) : std::exp(-(x - 2.5) / 1.8);
            envelope[i] += strength * shape;
        }
    }
    std::vector<float> out(body.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double e = envelope[i];
        out[i] = static_cast<float>(e * body[i] * 3 + e * e * hiss[i] * 0.6);
    }
    return out;
}

std::vector<float> river(double seconds, std::mt19937& random) {
    std::vector<float> low = noise(seconds, 250, random);
    std::vector<float> high = noise(seconds, 2500, random);
    std::vector<float> out(low.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<float>(0.6 * (high[i] - low[i]) + 0.8 * low[i]);
    }
    // Bubbles: short rising blips.
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::exponential_distribution<double> gap(25.0);
    for (double t = 0; t < seconds; t += gap(random)) {
        const double f = 350 + 900 * u(random);
        const double level = 0.03 + 0.06 * u(random);
        const auto first = samples(t);
        const auto n = samples(0.04);
        double phase = 0;
        for (std::size_t i = 0; i < n && first + i < out.size(); ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(n);
            phase += kTau * f * (1 + 0.6 * x) / kRate;
            out[first + i] += static_cast<float>(level * std::sin(std::numbers::pi * x) * std::exp(-3 * x) *
                                                 std::sin(phase));
        }
    }
    return out;
}

std::vector<float> bong(double seconds, std::mt19937& /*random*/) {
    // A singing bowl: inharmonic partials, each a slowly beating pair, struck every 8 s.
    struct Partial {
        double ratio, level, decay;
    };
    const Partial partials[] = {{1.0, 1.0, 5.0}, {2.76, 0.5, 3.0}, {5.40, 0.22, 1.5}, {8.93, 0.1, 0.7}};
    const double fundamental = 196.0;
    std::vector<float> out(samples(seconds));
    for (double strike = 1.5; strike < seconds; strike += 8.0) {
        for (std::size_t i = samples(strike); i < out.size(); ++i) {
            const double t = static_cast<double>(i) / kRate - strike;
            const double attack = std::min(1.0, t / 0.006);
            double sum = 0;
            for (const auto& p : partials) {
                const double f = fundamental * p.ratio;
                sum += p.level * std::exp(-t / p.decay) * 0.5 *
                       (std::sin(kTau * f * t) + std::sin(kTau * (f + 0.35) * t));
            }
            out[i] += static_cast<float>(attack * sum);
        }
    }
    return out;
}

std::vector<float> purr(double seconds, std::mt19937& random) {
    // Bursts of low noise at about 25 per second; louder while breathing out.
    std::vector<float> grain = noise(seconds, 350, random);
    std::vector<float> out(grain.size());
    const double cycle = 2.5;
    double pulsePhase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double inCycle = std::fmod(t, cycle) / cycle;
        const bool exhale = inCycle >= 0.44;
        const double breath = exhale ? std::sin(std::numbers::pi * (inCycle - 0.44) / 0.56)
                                     : 0.55 * std::sin(std::numbers::pi * inCycle / 0.44);
        pulsePhase += (exhale ? 23.0 : 26.0) / kRate;
        const double pulse = std::pow(0.5 + 0.5 * std::cos(kTau * pulsePhase), 6);
        out[i] = static_cast<float>(breath * pulse * (grain[i] * 4 + 0.3 * std::sin(kTau * pulsePhase)));
    }
    return out;
}

} // namespace

std::vector<Voicing> wakeVoices() {
    return {{"Birds", 12.0, birds},
            {"Sea", 17.0, sea},
            {"River", 10.0, river},
            {"Bong", 8.0, bong},
            {"Purr", 10.0, purr}};
}

} // namespace mirl::synth
