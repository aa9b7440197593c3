#pragma once

#include "detect/SleepPhase.h"
#include "detect/SoundClassifier.h"
#include "journal/EventSink.h"
#include "platform/OutputPlaybackProbe.h"
#include "runtime/Clock.h"
#include "runtime/Published.h"

#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// Turns the stream of classifier results into a sleep phase: publishes the latest top label,
/// filters what must not count (low confidence, ambient sounds, speech from the computer's own
/// loudspeakers unless a sleep sound hides behind it), keeps a two-minute window of admitted
/// samples and decides the phase from the shares of sleep sounds, activity, snoring and silence.
/// Writes "classification" and "phase_transition".
///
/// Thread rule: main thread only. The classifier's results reach it through the scheduler
/// (ClassificationStage).
class PhaseClassifier {
public:
    struct Sample {
        TimePoint date;
        std::string label;
        double confidence = 0;
    };

    static constexpr double rescueThreshold = 0.2;
    static constexpr double countedThreshold = 0.6;
    static constexpr double uncountedLogIntervalSeconds = 60;
    static constexpr double windowSeconds = 120;
    static constexpr std::size_t minimumWindow = 20;

    PhaseClassifier(const Clock& clock, EventSink& events, OutputPlaybackProbe& playback);

    Published<SleepPhase> phase{SleepPhase::awake};
    Published<double> phaseConfidence{0.0};
    Published<std::string> topLabel{std::string("—")};
    Published<double> topConfidence{0.0};

    /// One classifier answer: its first label and confidence and up to three (label,
    /// confidence) pairs, highest first.
    void handleClassification(const std::string& label, double confidence,
                              const std::vector<LabelConfidence>& top);

    /// Session stop: empties the window and returns the published values to awake, "—", 0, 0.
    /// The uncounted-event rate limit survives.
    void reset();

    const std::vector<Sample>& window() const { return window_; }

private:
    struct Decision {
        SleepPhase phase;
        double confidence;
        double sleepRatio, awakeRatio, snoringRatio;
    };
    Decision decide() const;

    const Clock& clock_;
    EventSink& events_;
    OutputPlaybackProbe& playback_;
    std::vector<Sample> window_;
    std::optional<TimePoint> lastUncountedLogAt_;
};

} // namespace mirl
