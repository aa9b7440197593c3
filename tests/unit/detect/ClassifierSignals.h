#pragma once

// Synthetic test signals for the sound classifier tests.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace mirl::testsignals {

inline constexpr double kPi = 3.14159265358979323846;

inline float dbToAmplitude(double db) {
    return float(std::pow(10.0, db / 20.0));
}

/// Gaussian white noise with the given RMS level in dBFS.
inline std::vector<float> whiteNoise(double seconds, int rate, double levelDb, std::uint32_t seed = 1) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> nd(0.0f, dbToAmplitude(levelDb));
    std::vector<float> x(std::size_t(seconds * rate));
    for (float& v : x)
        v = nd(gen);
    return x;
}

/// A harmonic tone (10 partials, falling 6 dB per octave) at f0 with an RMS level near levelDb.
// Ten harmonics falling by 1/h; with maxHz, every harmonic below maxHz instead.
inline std::vector<float> harmonicTone(double seconds, int rate, double f0, double levelDb,
                                       double maxHz = 0) {
    std::vector<float> x(std::size_t(seconds * rate));
    const double a = dbToAmplitude(levelDb) * 0.9;
    const double top = std::min(maxHz > 0 ? maxHz : 10.5 * f0, rate / 2.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        double s = 0;
        for (int h = 1; h * f0 < top; ++h)
            s += std::sin(2 * kPi * h * f0 * double(i) / rate) / h;
        x[i] = float(a * s);
    }
    return x;
}

inline std::vector<float> sine(double seconds, int rate, double hz, double amplitude) {
    std::vector<float> x(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = float(amplitude * std::sin(2 * kPi * hz * double(i) / rate));
    return x;
}

/// Adds short decaying noise clicks (keystroke-like) every 1/perSecond seconds, jittered.
inline void addClicks(std::vector<float>& x, int rate, double perSecond, double peakDb,
                      std::uint32_t seed = 2) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> jitter(-0.25, 0.25);
    std::normal_distribution<float> nd(0.0f, 1.0f);
    const double period = 1.0 / perSecond;
    const float a = dbToAmplitude(peakDb);
    for (double t = 0.1; t < double(x.size()) / rate; t += period * (1 + jitter(gen))) {
        const std::size_t start = std::size_t(t * rate);
        const std::size_t len = std::size_t(0.012 * rate);
        for (std::size_t i = 0; i < len && start + i < x.size(); ++i)
            x[start + i] += a * nd(gen) * float(std::exp(-double(i) / (0.002 * rate)));
    }
}

/// Breath-like noise: band-limited noise bursts (inhale 1.2 s, exhale 1.6 s) at rpm per minute,
/// peaking at peakDb, over the existing signal.
inline void addBreaths(std::vector<float>& x, int rate, double rpm, double peakDb, std::uint32_t seed = 3) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> nd(0.0f, 1.0f);
    const double period = 60.0 / rpm;
    const float a = dbToAmplitude(peakDb);
    // Two one-pole filters make a soft 300-2500 Hz band.
    double lp = 0, lp2 = 0;
    const double alphaHigh = std::exp(-2 * kPi * 2500.0 / rate), alphaLow = std::exp(-2 * kPi * 300.0 / rate);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = std::fmod(double(i) / rate, period);
        double env = 0;
        if (t < 1.2)
            env = 0.6 * std::sin(kPi * t / 1.2);
        else if (t >= 1.4 && t < 3.0)
            env = std::sin(kPi * (t - 1.4) / 1.6);
        const double n = nd(gen);
        lp = alphaHigh * lp + (1 - alphaHigh) * n;
        lp2 = alphaLow * lp2 + (1 - alphaLow) * lp;
        x[i] += float(a * env * (lp - lp2) * 4.0);
    }
}

} // namespace mirl::testsignals
