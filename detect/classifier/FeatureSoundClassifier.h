#pragma once

#include "detect/SoundClassifier.h"
#include "detect/classifier/FrameAnalyzer.h"
#include "detect/classifier/Resampler.h"
#include "detect/classifier/SoundDecision.h"
#include "detect/classifier/WindowFeatures.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace mirl {

/// The sound classifier built from our own acoustic features: the capture is resampled to
/// 16 kHz, cut into 64 ms frames every 30 ms (spectrum, voicing, transients), and every
/// 0.75 s the newest 1.5 s of frames, with 12 s of context, become a feature vector that
/// the decision turns into labels.
class FeatureSoundClassifier final : public SoundClassifier {
public:
    FeatureSoundClassifier();
    ~FeatureSoundClassifier() override;

    void process(std::span<const float> samples, double sampleRate, const ResultCallback& onResult) override;
    void reset() override;

    /// Features of the latest window (for the evaluation tools); empty before the first.
    const std::optional<classifier::FeatureVector>& lastFeatures() const { return lastFeatures_; }

private:
    void restart(int rate);

    int rate_ = 0;                  // current capture rate, 0 before the first samples
    double offsetSeconds_ = 0;      // stream time at which the current rate began
    std::int64_t inputSamples_ = 0; // capture samples fed since the rate began
    std::int64_t framesDone_ = 0;   // frames analysed since the rate began
    std::int64_t bufferStart_ = 0;  // analysis-rate index of buffer_[0]
    std::unique_ptr<classifier::Resampler> resampler_;
    std::vector<float> buffer_; // 16 kHz samples not yet fully analysed
    std::vector<float> clean_;  // input with non-finite samples replaced
    classifier::FrameAnalyzer frames_;
    classifier::WindowFeatureExtractor windows_;
    classifier::SoundDecision decision_;
    std::optional<classifier::FeatureVector> lastFeatures_;
};

} // namespace mirl
