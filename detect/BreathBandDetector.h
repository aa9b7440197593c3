#pragma once

#include "detect/Biquad.h"
#include "detect/BreathBandRule.h"
#include "detect/CapturedBuffer.h"
#include "journal/EventSink.h"
#include "runtime/Clock.h"
#include "runtime/Executor.h"
#include "runtime/Lifetime.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <memory>
#include <optional>
#include <vector>

namespace mirl {

/// Sleep from the loudness of the breathing band. Band-limits the signal to 50-800 Hz (two
/// single-precision biquads), pre-emphasises it, measures every half-second block, learns the
/// first two minutes' level as the baseline (upper median), and declares sleep when the smoothed
/// level has stayed 15 % below the baseline for 60 seconds, never within five minutes of the
/// last configuration. Writes "breathband_started", "breathband_baseline", "breathband_asleep".
///
/// Thread rule: the signal state (filters, block buffer, block levels, smoothing, streak) is
/// confined to the band queue: it lives in a shared object that only queued work touches and
/// that work holds weakly. configure() and stop() run their part on the queue and wait for it;
/// process() (capture thread) copies channel 0 and queues it. The published values are written
/// on the main thread only; the queue sees baseline, hasBaseline and asleepAt through atomic
/// copies that the main thread stores right after publishing, so a new value reaches the queue
/// only once the main-thread update has run.
class BreathBandDetector {
public:
    static constexpr double bandLowHz = 50.0;
    static constexpr double bandHighHz = 800.0;
    static constexpr float preEmphasisCoeff = 0.95f;

    BreathBandDetector(const Clock& clock, Scheduler& mainThread, Executor& queue, EventSink& events);
    ~BreathBandDetector();
    BreathBandDetector(const BreathBandDetector&) = delete;
    BreathBandDetector& operator=(const BreathBandDetector&) = delete;

    Published<std::optional<TimePoint>> asleepAt;
    Published<double> baseline{0.0};
    Published<double> currentRMS{0.0};
    Published<bool> hasBaseline{false};

    /// A new capture format: restarts from scratch on the queue (waits), then clears the
    /// published values and writes "breathband_started" on the main thread. A rate that is not
    /// a finite number of at least 2 Hz (no whole sample in a half-second block) leaves the
    /// detector stopped: the published values are cleared, no event is written.
    void configure(double sampleRate);
    /// Capture thread: copies channel 0 and queues its processing.
    void process(const CapturedBuffer& buffer);
    /// Stops processing (on the queue; waits). Published values stay until the next configure.
    void stop();

    /// What the queue holds, for tests; call only while the queue is idle.
    struct Snapshot {
        bool enabled;
        std::size_t blockCapacity;
        std::size_t pendingSamples;
        std::vector<BreathBandRule::Block> blocks;
        double smoothed;
        std::optional<double> streakStart;
        BiquadCoeffs lp, hp;
    };
    Snapshot snapshot() const;

private:
    struct Signal;
    struct MainUpdate {
        double level;
        std::optional<double> newBaseline;
        long long samplesUsed;
        bool fired;
    };
    void applyUpdate(const MainUpdate& update);

    Executor& queue_;
    EventSink& events_;
    Scheduler& mainThread_;
    std::shared_ptr<Signal> signal_;
    Lifetime lifetime_;
};

} // namespace mirl
