#include "detect/classifier/SoundDecision.h"

#include <algorithm>

namespace mirl::classifier {

std::vector<LabelConfidence> SoundDecision::decide(const FeatureVector& x) const {
    auto f = [&](Feature k) { return x[std::size_t(k)]; };
    std::vector<LabelConfidence> out;
    const float level = f(Feature::levelDb);
    if (level < -55 && f(Feature::onsetRate) < 1.5f && f(Feature::voicedShare) < 0.2f) {
        if (f(Feature::breathRhythm) > 0.4f && f(Feature::slowSwing) > 3)
            out = {{"breathing", 0.7}, {"silence", 0.25}};
        else
            out = {{"silence", 0.8}, {"breathing", 0.15}};
    } else if (f(Feature::onsetRate) >= 2 && f(Feature::voicedShare) < 0.3f) {
        out = {{"typing", 0.7}, {"footsteps", 0.2}};
    } else if (f(Feature::voicedShare) > 0.3f && f(Feature::persistence) > 0.5f) {
        out = {{"music", 0.7}, {"speech", 0.2}};
    } else if (f(Feature::voicedShare) > 0.3f) {
        out = {{"speech", 0.7}, {"music", 0.2}};
    } else if (f(Feature::rangeDb) < 6 && f(Feature::flatness) > 0.3f) {
        if (f(Feature::slope) > -1.5f)
            out = {{"white_noise", 0.7}, {"pink_noise", 0.2}};
        else
            out = {{"pink_noise", 0.7}, {"wind", 0.2}};
    } else if (f(Feature::band0) + f(Feature::band1) > -4) {
        out = {{"snoring", 0.6}, {"breathing", 0.3}};
    } else {
        out = {{"breathing", 0.6}, {"silence", 0.3}};
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.confidence > b.confidence; });
    return out;
}

} // namespace mirl::classifier
