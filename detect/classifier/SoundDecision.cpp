#include "detect/classifier/SoundDecision.h"

#include "detect/classifier/ModelWeights.h"

#include <algorithm>
#include <cmath>

namespace mirl::classifier {

// A model trained on an older, shorter feature list still builds (so that the evaluation tool
// can dump the new features for retraining); a unit test insists on the names matching.
static_assert(model::kInputs <= kFeatureCount, "the model expects features that do not exist");

namespace {
// Labels below this probability are left out of a result.
constexpr double kMinConfidence = 0.01;
// Standardised inputs are clipped: a sound far outside what the model saw should not
// produce an extreme, confident answer from one feature.
constexpr float kClip = 5.0f;
} // namespace

std::vector<double> SoundDecision::probabilities(const FeatureVector& features) const {
    std::array<float, model::kInputs> z{};
    for (int i = 0; i < model::kInputs; ++i) {
        const float v =
            std::isfinite(features[std::size_t(i)]) ? features[std::size_t(i)] : model::kMean[std::size_t(i)];
        z[std::size_t(i)] =
            std::clamp((v - model::kMean[std::size_t(i)]) / model::kScale[std::size_t(i)], -kClip, kClip);
    }
    std::array<float, model::kHidden> h{};
    for (int j = 0; j < model::kHidden; ++j) {
        float s = model::kB1[std::size_t(j)];
        for (int i = 0; i < model::kInputs; ++i)
            s += model::kW1[std::size_t(j * model::kInputs + i)] * z[std::size_t(i)];
        h[std::size_t(j)] = std::tanh(s);
    }
    std::vector<double> p(model::kClasses);
    double top = -1e30;
    for (int c = 0; c < model::kClasses; ++c) {
        double s = model::kB2[std::size_t(c)];
        for (int j = 0; j < model::kHidden; ++j)
            s += double(model::kW2[std::size_t(c * model::kHidden + j)]) * h[std::size_t(j)];
        p[std::size_t(c)] = s;
        top = std::max(top, s);
    }
    double sum = 0;
    for (double& v : p) {
        v = std::exp(v - top);
        sum += v;
    }
    for (double& v : p)
        v /= sum;
    return p;
}

std::vector<LabelConfidence> SoundDecision::decide(const FeatureVector& features) const {
    const auto p = probabilities(features);
    std::vector<LabelConfidence> out;
    for (int c = 0; c < model::kClasses; ++c) {
        if (p[std::size_t(c)] >= kMinConfidence)
            out.push_back({std::string(model::kLabels[std::size_t(c)]), p[std::size_t(c)]});
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.confidence > b.confidence; });
    if (out.empty()) { // cannot happen with a softmax over fewer than 100 classes; kept for safety
        const auto best = std::max_element(p.begin(), p.end()) - p.begin();
        out.push_back({std::string(model::kLabels[std::size_t(best)]), p[std::size_t(best)]});
    }
    return out;
}

} // namespace mirl::classifier
