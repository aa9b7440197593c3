#pragma once

#include "detect/CapturedBuffer.h"
#include "journal/EventSink.h"
#include "runtime/Clock.h"
#include "runtime/Lifetime.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <deque>
#include <optional>
#include <vector>

namespace mirl {

/// Breathing rate from the loudness envelope, and sleep from its regularity. Cuts the signal
/// into quarter-second blocks, counts a breath at every block well above a slow average (with a
/// 1.5-second refractory time), turns the last minute's breath spacing into breaths per minute
/// and declares sleep when the spacing over three minutes has stayed regular and slow for two
/// minutes, no earlier than five minutes into the session. Writes "breath_estimate",
/// "breath_regularity_stat" and "breath_regularity_asleep".
///
/// Thread rule: process() runs on the capture thread and only copies channel 0 and posts it to
/// the main thread. Everything else, all state and every published value, is main thread only.
class BreathDetector {
public:
    static constexpr double blockSeconds = 0.25;
    static constexpr double peakHistorySeconds = 200;
    static constexpr double regWindowSeconds = 180;
    static constexpr std::size_t regMinIntervals = 12;
    static constexpr double regCVThreshold = 0.25;
    static constexpr double regRpmMin = 8.0;
    static constexpr double regRpmMax = 20.0;
    static constexpr double regStreakRequired = 120;
    static constexpr double regMinSessionSec = 300;
    static constexpr double minIntervalBetweenPeaks = 1.5;
    static constexpr double maxIntervalBetweenPeaks = 12.0;

    BreathDetector(const Clock& clock, Scheduler& mainThread, EventSink& events);

    Published<double> rpm{0.0};
    Published<bool> hasReading{false};
    Published<std::optional<TimePoint>> regularitySleepAt;

    /// Capture thread: copies channel 0 and queues processSamples() on the main thread.
    void process(const CapturedBuffer& buffer);
    /// Main thread: one buffer's samples at sampleRate Hz.
    void processSamples(std::span<const float> samples, double sampleRate);

    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }
    void setSessionStartedAt(std::optional<TimePoint> t) { sessionStartedAt_ = t; }
    /// Session stop (after clearing the enabled flag): forgets peaks, samples and the streak and
    /// publishes 0, false, absent. The two rate-limit times survive.
    void reset();

    const std::deque<TimePoint>& peaks() const { return peaks_; }
    double emaRMS() const { return emaRMS_; }
    std::size_t pendingSamples() const { return ring_.size() - ringStart_; }

private:
    void peakTest(TimePoint t, double level);
    void estimateRate();
    void regularityStep(TimePoint now);

    const Clock& clock_;
    Scheduler& mainThread_;
    EventSink& events_;

    std::deque<TimePoint> peaks_;
    std::optional<TimePoint> regStreakStart_;
    std::optional<TimePoint> sessionStartedAt_;
    std::optional<TimePoint> lastRegStatLog_;
    std::optional<TimePoint> lastEmitTime_;
    double emaRMS_ = 0;
    std::optional<TimePoint> lastPeakAt_;
    // Samples not yet cut into blocks: ring_[ringStart_..]. Compacted when the consumed head
    // grows large, so cutting a block does not move the rest each time.
    std::vector<float> ring_;
    std::size_t ringStart_ = 0;
    bool enabled_ = false;
    Lifetime lifetime_;
};

} // namespace mirl
