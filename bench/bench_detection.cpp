// Cost of the whole detection chain per hour of 48 kHz audio on one core, and of each part.
//   build/bin/bench_detection
// "sec_per_hour" is the answer: seconds of one core per hour of captured audio. BM_Chain is the
// whole chain as mirl-replay runs it (8192-frame buffers, the classifier, phase classification,
// both breathing detectors, the level meter, telemetry and the session log); the others are
// its parts on the same audio.

#include "detect/BreathBandDetector.h"
#include "detect/BreathDetector.h"
#include "detect/OfflineReplay.h"
#include "detect/PhaseClassifier.h"
#include "detect/SignalLevel.h"
#include "detect/classifier/FeatureSoundClassifier.h"
#include "journal/SessionLogger.h"
#include "platform/fake/FakeOutputPlaybackProbe.h"
#include "platform/fake/MemoryAudioFileReader.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/SyntheticRoom.h"
#include "tests/support/TestPaths.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace mirl;

namespace {

constexpr double kRate = 48000;
constexpr double kSeconds = 120;
constexpr std::size_t kBuffer = 8192;

/// Two minutes of a bedroom: a noise floor, a breath every 4.6 s and a little speech-like tone.
const std::vector<float>& room() {
    static const std::vector<float> x = test::syntheticBedroom(kRate, kSeconds);
    return x;
}

class NullSink final : public EventSink {
public:
    void log(std::string_view, const EventPayload& payload) override { bytes += payload.dump().size(); }
    std::size_t bytes = 0;
};

void perHour(benchmark::State& state) {
    state.counters["sec_per_hour"] = benchmark::Counter(
        kSeconds / 3600.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

/// Calls f(span) for each capture-sized buffer of the room.
template <typename F> void eachBuffer(F f) {
    const auto& x = room();
    for (std::size_t i = 0; i < x.size(); i += kBuffer)
        f(std::span<const float>(x.data() + i, std::min(kBuffer, x.size() - i)));
}

void BM_Chain(benchmark::State& state) {
    MemoryAudioFileReader reader(room(), kRate);
    test::TempDir dir;
    for (auto _ : state) {
        VirtualScheduler scheduler;
        SessionLogger logger(scheduler, dir.path(), "bench");
        logger.startSession();
        OfflineReplay replay(scheduler, logger, std::make_unique<FeatureSoundClassifier>());
        benchmark::DoNotOptimize(replay.run(reader));
        logger.endSession("bench");
    }
    perHour(state);
}
BENCHMARK(BM_Chain)->Unit(benchmark::kMillisecond);

void BM_Classifier(benchmark::State& state) {
    room();
    for (auto _ : state) {
        FeatureSoundClassifier classifier;
        std::size_t results = 0;
        eachBuffer([&](std::span<const float> b) {
            classifier.process(b, kRate, [&](const ClassificationResult&) { ++results; });
        });
        benchmark::DoNotOptimize(results);
    }
    perHour(state);
}
BENCHMARK(BM_Classifier)->Unit(benchmark::kMillisecond);

void BM_BreathBandDetector(benchmark::State& state) {
    room();
    for (auto _ : state) {
        VirtualScheduler scheduler;
        InlineExecutor queue;
        NullSink sink;
        BreathBandDetector band(scheduler, scheduler, queue, sink);
        band.configure(kRate);
        eachBuffer([&](std::span<const float> b) {
            band.process(CapturedBuffer{b.data(), b.size(), kRate, 1, 0});
            scheduler.runDue();
        });
    }
    perHour(state);
}
BENCHMARK(BM_BreathBandDetector)->Unit(benchmark::kMillisecond);

void BM_BreathDetector(benchmark::State& state) {
    room();
    for (auto _ : state) {
        VirtualScheduler scheduler;
        NullSink sink;
        BreathDetector breath(scheduler, scheduler, sink);
        breath.setEnabled(true);
        breath.setSessionStartedAt(scheduler.now());
        eachBuffer([&](std::span<const float> b) {
            scheduler.advance(std::chrono::microseconds(170667));
            breath.process(CapturedBuffer{b.data(), b.size(), kRate, 1, 0});
            scheduler.runDue();
        });
    }
    perHour(state);
}
BENCHMARK(BM_BreathDetector)->Unit(benchmark::kMillisecond);

void BM_LevelMeter(benchmark::State& state) {
    room();
    for (auto _ : state) {
        double sum = 0;
        eachBuffer([&](std::span<const float> b) { sum += rootMeanSquare(b); });
        benchmark::DoNotOptimize(sum);
    }
    perHour(state);
}
BENCHMARK(BM_LevelMeter)->Unit(benchmark::kMicrosecond);

void BM_PhaseClassification(benchmark::State& state) {
    // One result per 0.75 s of audio, each recounting a full two-minute window.
    const std::vector<LabelConfidence> top = {{"breathing", 0.8}, {"silence", 0.15}, {"snoring", 0.05}};
    for (auto _ : state) {
        VirtualScheduler scheduler;
        NullSink sink;
        FakeOutputPlaybackProbe playback;
        PhaseClassifier phase(scheduler, sink, playback);
        for (int i = 0; i < static_cast<int>(kSeconds / 0.75); ++i) {
            scheduler.advance(std::chrono::milliseconds(750));
            phase.handleClassification(top[0].label, top[0].confidence, top);
        }
    }
    perHour(state);
}
BENCHMARK(BM_PhaseClassification)->Unit(benchmark::kMicrosecond);

} // namespace
