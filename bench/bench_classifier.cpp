// Cost of the sound classifier per hour of 48 kHz audio on one core.
//   build/bin/bench_classifier
// The "sec_per_hour" counter is the answer; the stages show where the time goes.

#include "detect/classifier/FeatureSoundClassifier.h"
#include "detect/classifier/FrameAnalyzer.h"
#include "detect/classifier/Resampler.h"
#include "detect/classifier/SoundDecision.h"
#include "detect/classifier/WindowFeatures.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

using namespace mirl;

namespace {

constexpr int kRate = 48000;
constexpr double kSeconds = 60.0;

// A minute of a quiet room with breaths and a few keystrokes.
std::vector<float> minuteOfRoom(int rate) {
    std::mt19937 gen(7);
    std::normal_distribution<float> nd(0.0f, 1.0f);
    std::vector<float> x(std::size_t(kSeconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / rate;
        const double breath = std::max(0.0, std::sin(2 * 3.14159265 * t / 4.0));
        x[i] = nd(gen) * float(0.001 + 0.01 * breath);
        if (std::fmod(t, 0.3) < 0.005)
            x[i] += 0.1f * nd(gen);
    }
    return x;
}

void setHourCounter(benchmark::State& state, double audioSecondsPerIteration) {
    // Inverted rate: CPU seconds per (iterations x audio seconds / 3600) = seconds per hour.
    state.counters["sec_per_hour"] =
        benchmark::Counter(double(state.iterations()) * audioSecondsPerIteration / 3600.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ClassifierWhole(benchmark::State& state) {
    const auto x = minuteOfRoom(kRate);
    std::size_t windows = 0;
    for (auto _ : state) {
        FeatureSoundClassifier c;
        for (std::size_t i = 0; i < x.size(); i += 8192) {
            const std::size_t n = std::min<std::size_t>(8192, x.size() - i);
            c.process(std::span<const float>(x).subspan(i, n), kRate,
                      [&](const ClassificationResult&) { ++windows; });
        }
    }
    benchmark::DoNotOptimize(windows);
    setHourCounter(state, kSeconds);
}
BENCHMARK(BM_ClassifierWhole)->Unit(benchmark::kMillisecond);

void BM_StageResample48kTo16k(benchmark::State& state) {
    const auto x = minuteOfRoom(kRate);
    for (auto _ : state) {
        classifier::Resampler r(kRate, classifier::kAnalysisRate);
        std::vector<float> out;
        out.reserve(x.size() / 3 + 16);
        r.push(x, out);
        benchmark::DoNotOptimize(out.data());
    }
    setHourCounter(state, kSeconds);
}
BENCHMARK(BM_StageResample48kTo16k)->Unit(benchmark::kMillisecond);

void BM_StageFrames(benchmark::State& state) {
    const auto x = minuteOfRoom(classifier::kAnalysisRate);
    for (auto _ : state) {
        classifier::FrameAnalyzer a;
        for (std::size_t s = 0; s + classifier::kFrameLength <= x.size(); s += classifier::kHop)
            benchmark::DoNotOptimize(
                a.analyze(std::span<const float>(x).subspan(s, classifier::kFrameLength)));
    }
    setHourCounter(state, kSeconds);
}
BENCHMARK(BM_StageFrames)->Unit(benchmark::kMillisecond);

void BM_StageWindowsAndDecision(benchmark::State& state) {
    const auto x = minuteOfRoom(classifier::kAnalysisRate);
    classifier::FrameAnalyzer a;
    std::vector<classifier::FrameFeatures> frames;
    for (std::size_t s = 0; s + classifier::kFrameLength <= x.size(); s += classifier::kHop)
        frames.push_back(a.analyze(std::span<const float>(x).subspan(s, classifier::kFrameLength)));
    classifier::SoundDecision decision;
    for (auto _ : state) {
        classifier::WindowFeatureExtractor w;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            w.addFrame(frames[i]);
            if (i + 1 >= classifier::kWindowFrames &&
                (i + 1 - classifier::kWindowFrames) % classifier::kWindowStepFrames == 0)
                benchmark::DoNotOptimize(decision.decide(w.compute()));
        }
    }
    setHourCounter(state, kSeconds);
}
BENCHMARK(BM_StageWindowsAndDecision)->Unit(benchmark::kMillisecond);

} // namespace
