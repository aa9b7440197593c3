#include "detect/BreathDetector.h"

#include "detect/SignalLevel.h"

#include <cmath>
#include <numeric>

namespace mirl {

namespace {

/// Consecutive differences in seconds, kept only when they are plausible breath spacings.
std::vector<double> validIntervals(const std::deque<TimePoint>& peaks, std::size_t first) {
    std::vector<double> out;
    for (std::size_t i = first + 1; i < peaks.size(); ++i) {
        const double d = secondsBetween(peaks[i - 1], peaks[i]);
        if (d >= BreathDetector::minIntervalBetweenPeaks && d <= BreathDetector::maxIntervalBetweenPeaks)
            out.push_back(d);
    }
    return out;
}

/// Index of the first peak at or after `from`.
std::size_t firstAtOrAfter(const std::deque<TimePoint>& peaks, TimePoint from) {
    std::size_t i = 0;
    while (i < peaks.size() && peaks[i] < from)
        ++i;
    return i;
}

} // namespace

BreathDetector::BreathDetector(const Clock& clock, Scheduler& mainThread, EventSink& events)
    : clock_(clock), mainThread_(mainThread), events_(events) {}

void BreathDetector::process(const CapturedBuffer& buffer) {
    if (!buffer.hasFloatData())
        return;
    auto samples = buffer.samples();
    mainThread_.post(lifetime_.guard([this, copy = std::vector<float>(samples.begin(), samples.end()),
                                      rate = buffer.sampleRate] { processSamples(copy, rate); }));
}

void BreathDetector::processSamples(std::span<const float> samples, double sampleRate) {
    if (!enabled_)
        return;
    ring_.insert(ring_.end(), samples.begin(), samples.end());
    const double blockFrames = sampleRate * blockSeconds;
    // A rate that is not a finite number cuts no blocks (and must not reach the conversion).
    if (!std::isfinite(blockFrames) || blockFrames < 1.0)
        return;
    const auto blockSize = static_cast<std::size_t>(blockFrames);
    const TimePoint now = clock_.now();
    while (ring_.size() - ringStart_ >= blockSize) {
        const float level = rootMeanSquare(std::span<const float>(ring_.data() + ringStart_, blockSize));
        ringStart_ += blockSize;
        const double l = level;
        emaRMS_ = 0.04 * l + 0.96 * (emaRMS_ != 0 ? emaRMS_ : l);
        peakTest(now, l);
    }
    if (ringStart_ > 0 && ringStart_ * 2 >= ring_.size()) {
        ring_.erase(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(ringStart_));
        ringStart_ = 0;
    }
    if (!lastEmitTime_ || secondsBetween(*lastEmitTime_, now) > 1.0) {
        estimateRate();
        lastEmitTime_ = clock_.now();
    }
}

void BreathDetector::peakTest(TimePoint t, double level) {
    if (!(level > 0.001 && level > emaRMS_ * 1.6))
        return;
    if (lastPeakAt_ && secondsBetween(*lastPeakAt_, t) < minIntervalBetweenPeaks)
        return;
    peaks_.push_back(t);
    const TimePoint oldest = addSeconds(t, -peakHistorySeconds);
    std::erase_if(peaks_, [&](TimePoint p) { return p < oldest; });
    lastPeakAt_ = t;
}

void BreathDetector::estimateRate() {
    const TimePoint now = clock_.now();
    const std::size_t first = firstAtOrAfter(peaks_, addSeconds(now, -60));
    const std::size_t recent = peaks_.size() - first;
    if (recent < 3) {
        hasReading.set(false);
        return;
    }
    const auto intervals = validIntervals(peaks_, first);
    if (intervals.size() < 2) {
        hasReading.set(false);
        return;
    }
    const double mean =
        std::accumulate(intervals.begin(), intervals.end(), 0.0) / static_cast<double>(intervals.size());
    const double value = 60.0 / mean;
    rpm.set(value);
    hasReading.set(true);
    events_.log("breath_estimate", {{"rpm", value},
                                    {"peaks_60s", static_cast<long long>(recent)},
                                    {"intervals_used", static_cast<long long>(intervals.size())}});
    regularityStep(now);
}

void BreathDetector::regularityStep(TimePoint now) {
    if (regularitySleepAt.get() || !sessionStartedAt_)
        return;
    const auto intervals = validIntervals(peaks_, firstAtOrAfter(peaks_, addSeconds(now, -regWindowSeconds)));
    const std::size_t n = intervals.size();
    double cv = -1.0;
    double windowRpm = 0.0;
    bool regular = false;
    if (n >= regMinIntervals) {
        const double mean = std::accumulate(intervals.begin(), intervals.end(), 0.0) / static_cast<double>(n);
        double squares = 0;
        for (double d : intervals)
            squares += (d - mean) * (d - mean);
        const double sd = std::sqrt(squares / static_cast<double>(n));
        cv = sd / mean;
        windowRpm = 60.0 / mean;
        regular = windowRpm <= regRpmMax && windowRpm >= regRpmMin && cv < regCVThreshold;
    }
    if (regular) {
        if (!regStreakStart_)
            regStreakStart_ = now;
    } else {
        regStreakStart_.reset();
    }
    const double streak = regStreakStart_ ? secondsBetween(*regStreakStart_, now) : 0.0;
    const auto streakSec = static_cast<long long>(streak);
    if (!lastRegStatLog_ || secondsBetween(*lastRegStatLog_, now) >= 30) {
        lastRegStatLog_ = now;
        events_.log("breath_regularity_stat", {{"cv", cv},
                                               {"window_rpm", windowRpm},
                                               {"intervals", static_cast<long long>(n)},
                                               {"streak_sec", streakSec}});
    }
    const double sinceStart = secondsBetween(*sessionStartedAt_, now);
    if (regular && streak >= regStreakRequired && sinceStart >= regMinSessionSec) {
        regularitySleepAt.set(now);
        events_.log("breath_regularity_asleep", {{"cv", cv},
                                                 {"window_rpm", windowRpm},
                                                 {"intervals", static_cast<long long>(n)},
                                                 {"streak_sec", streakSec},
                                                 {"t_from_start", sinceStart}});
    }
}

void BreathDetector::reset() {
    peaks_.clear();
    ring_.clear();
    ringStart_ = 0;
    emaRMS_ = 0;
    lastPeakAt_.reset();
    regStreakStart_.reset();
    sessionStartedAt_.reset();
    rpm.set(0.0);
    hasReading.set(false);
    regularitySleepAt.set(std::nullopt);
}

} // namespace mirl
