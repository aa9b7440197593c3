#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace mirl {

struct LabelConfidence {
    std::string label;
    double confidence = 0; // 0..1
};

/// One classified window of audio.
struct ClassificationResult {
    double startSeconds = 0; // from the first sample fed since the last reset()
    double durationSeconds = 0;
    std::vector<LabelConfidence> labels; // highest confidence first
};

/// Labels 1.5-second windows of audio, one every 0.75 seconds, with everyday sound classes
/// ("breathing", "snoring", "speech", "typing", ...). A better model may replace the
/// implementation behind this interface.
///
/// Thread rule: one thread at a time (the analysis queue); onResult runs on that thread.
class SoundClassifier {
public:
    using ResultCallback = std::function<void(const ClassificationResult&)>;
    virtual ~SoundClassifier() = default;

    /// Feeds the next samples of channel 0 at sampleRate Hz (any rate). A change of rate
    /// restarts the windowing.
    virtual void process(std::span<const float> samples, double sampleRate,
                         const ResultCallback& onResult) = 0;
    /// Forgets buffered audio; the next sample starts a new stream at time 0.
    virtual void reset() = 0;
};

} // namespace mirl
