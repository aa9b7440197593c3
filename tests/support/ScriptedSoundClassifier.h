#pragma once

#include "detect/SoundClassifier.h"

#include <cmath>
#include <functional>
#include <vector>

namespace mirl::test {

/// A classifier stand-in with the real one's windowing (1.5-second windows every 0.75 s of fed
/// audio) whose labels come from a script of the window's start time.
class ScriptedSoundClassifier final : public SoundClassifier {
public:
    using Script = std::function<std::vector<LabelConfidence>(double startSeconds)>;
    explicit ScriptedSoundClassifier(Script script) : script_(std::move(script)) {}

    void process(std::span<const float> samples, double sampleRate, const ResultCallback& onResult) override {
        if (sampleRate != rate_) {
            rate_ = sampleRate;
            fed_ = 0;
            next_ = 0;
        }
        ++calls;
        fed_ += static_cast<long long>(samples.size());
        while (static_cast<double>(fed_) >= (next_ * 0.75 + 1.5) * rate_) {
            ClassificationResult r;
            r.startSeconds = next_ * 0.75;
            r.durationSeconds = 1.5;
            r.labels = script_(r.startSeconds);
            onResult(r);
            ++next_;
        }
    }
    void reset() override {
        ++resets;
        fed_ = 0;
        next_ = 0;
    }

    int calls = 0;
    int resets = 0;

private:
    Script script_;
    double rate_ = 0;
    long long fed_ = 0;
    long long next_ = 0;
};

} // namespace mirl::test
