#include "detect/PhaseClassifier.h"

#include "detect/SoundLabelSets.h"

#include <algorithm>

namespace mirl {

PhaseClassifier::PhaseClassifier(const Clock& clock, EventSink& events, OutputPlaybackProbe& playback)
    : clock_(clock), events_(events), playback_(playback) {}

void PhaseClassifier::handleClassification(const std::string& label, double confidence,
                                           const std::vector<LabelConfidence>& top) {
    topLabel.set(label);
    topConfidence.set(confidence);
    const bool playing = playback_.isOutputAudioPlaying();

    // Speech while the loudspeakers play is most likely the computer itself; a sleep sound in
    // the top three, even a weak one, stands in for it.
    std::string effectiveLabel = label;
    double effectiveConfidence = confidence;
    const bool speechDuringPlayback = labels::isSpeech(label) && playing;
    if (speechDuringPlayback) {
        for (const auto& entry : top) {
            if (labels::isSleep(entry.label) && entry.confidence >= rescueThreshold) {
                effectiveLabel = entry.label;
                effectiveConfidence = entry.confidence;
                break;
            }
        }
    }
    const bool rescued = effectiveLabel != label;
    // Speech from the loudspeakers that no sleep sound stands in for never counts, however
    // confident: it is logged like any other uncounted result (at most once a minute), so a
    // podcast does not fill the log with results that never reach the window.
    const bool counted = effectiveConfidence >= countedThreshold && !(speechDuringPlayback && !rescued);

    const TimePoint now = clock_.now();
    EventPayload payload = {{"label", label},
                            {"confidence", confidence},
                            {"phase", rawValue(phase.get())},
                            {"counted", counted},
                            {"playback", playing}};
    if (rescued) {
        payload["effective_label"] = effectiveLabel;
        payload["effective_confidence"] = effectiveConfidence;
        payload["rescued"] = true;
    }
    if (top.size() >= 2) {
        auto list = nlohmann::json::array();
        for (const auto& entry : top)
            list.push_back({{"label", entry.label}, {"conf", entry.confidence}});
        payload["top3"] = std::move(list);
    }
    if (counted) {
        events_.log("classification", payload);
    } else if (!lastUncountedLogAt_ ||
               secondsBetween(*lastUncountedLogAt_, now) >= uncountedLogIntervalSeconds) {
        events_.log("classification", payload);
        lastUncountedLogAt_ = now;
    }

    const bool admitted = speechDuringPlayback ? rescued : counted;
    if (!admitted || labels::isAmbient(effectiveLabel))
        return;

    window_.push_back({now, effectiveLabel, effectiveConfidence});
    const TimePoint oldest = addSeconds(now, -windowSeconds);
    std::erase_if(window_, [&](const Sample& s) { return s.date < oldest; });
    if (window_.size() < minimumWindow)
        return;

    const Decision d = decide();
    phaseConfidence.set(d.confidence);
    const SleepPhase old = phase.get();
    if (d.phase == old)
        return;
    phase.set(d.phase);
    events_.log("phase_transition", {{"from", rawValue(old)},
                                     {"to", rawValue(d.phase)},
                                     {"confidence", d.confidence},
                                     {"window_samples", static_cast<long long>(window_.size())},
                                     {"sleep_ratio", d.sleepRatio},
                                     {"awake_ratio", d.awakeRatio},
                                     {"snoring_ratio", d.snoringRatio}});
}

PhaseClassifier::Decision PhaseClassifier::decide() const {
    std::size_t sleep = 0, activity = 0, snoring = 0, silence = 0;
    for (const auto& s : window_) {
        sleep += labels::isSleep(s.label) ? 1 : 0;
        activity += labels::isActivity(s.label) ? 1 : 0;
        snoring += s.label == "snoring" ? 1 : 0;
        silence += s.label == "silence" ? 1 : 0;
    }
    const double n = static_cast<double>(window_.size());
    const double sleepRatio = static_cast<double>(sleep) / n;
    const double awakeRatio = static_cast<double>(activity) / n;
    const double snoringRatio = static_cast<double>(snoring) / n;
    const double quietRatio = static_cast<double>(snoring + silence) / n;

    Decision d{SleepPhase::awake, 1.0 - sleepRatio, sleepRatio, awakeRatio, snoringRatio};
    // First rule that holds; every comparison is strict.
    if (awakeRatio > 0.3) {
        d.phase = SleepPhase::awake;
        d.confidence = awakeRatio;
    } else if (quietRatio > 0.7 && snoringRatio > 0.15) {
        d.phase = SleepPhase::deepAsleep;
        d.confidence = quietRatio;
    } else if (sleepRatio > 0.5) {
        d.phase = SleepPhase::asleep;
        d.confidence = sleepRatio;
    } else if (sleepRatio > 0.25) {
        d.phase = SleepPhase::calming;
        d.confidence = sleepRatio;
    }
    return d;
}

void PhaseClassifier::reset() {
    window_.clear();
    phase.set(SleepPhase::awake);
    topLabel.set("—");
    topConfidence.set(0.0);
    phaseConfidence.set(0.0);
}

} // namespace mirl
