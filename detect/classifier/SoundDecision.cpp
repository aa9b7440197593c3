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
    // Every member's logits, averaged; then the per-class calibration fitted on the development set.
    std::array<double, model::kClasses> logits{};
    for (int m = 0; m < model::kMembers; ++m) {
        const float* w1 = model::kW1.data() + std::size_t(m) * model::kHidden1 * model::kInputs;
        const float* b1 = model::kB1.data() + std::size_t(m) * model::kHidden1;
        const float* w2 = model::kW2.data() + std::size_t(m) * model::kHidden2 * model::kHidden1;
        const float* b2 = model::kB2.data() + std::size_t(m) * model::kHidden2;
        const float* w3 = model::kW3.data() + std::size_t(m) * model::kClasses * model::kHidden2;
        const float* b3 = model::kB3.data() + std::size_t(m) * model::kClasses;
        std::array<float, model::kHidden1> h1{};
        for (int j = 0; j < model::kHidden1; ++j) {
            float s = b1[j];
            for (int i = 0; i < model::kInputs; ++i)
                s += w1[j * model::kInputs + i] * z[std::size_t(i)];
            h1[std::size_t(j)] = std::tanh(s);
        }
        std::array<float, model::kHidden2> h2{};
        for (int j = 0; j < model::kHidden2; ++j) {
            float s = b2[j];
            for (int i = 0; i < model::kHidden1; ++i)
                s += w2[j * model::kHidden1 + i] * h1[std::size_t(i)];
            h2[std::size_t(j)] = std::tanh(s);
        }
        for (int c = 0; c < model::kClasses; ++c) {
            double s = b3[c];
            for (int j = 0; j < model::kHidden2; ++j)
                s += double(w3[c * model::kHidden2 + j]) * h2[std::size_t(j)];
            logits[std::size_t(c)] += s / model::kMembers;
        }
    }
    std::vector<double> p(model::kClasses);
    double top = -1e30;
    for (int c = 0; c < model::kClasses; ++c) {
        const double s =
            logits[std::size_t(c)] * model::kCalibrationScale + model::kCalibrationBias[std::size_t(c)];
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

namespace {
int indexOf(std::string_view label) {
    for (int c = 0; c < model::kClasses; ++c) {
        if (model::kLabels[std::size_t(c)] == label)
            return c;
    }
    return -1;
}

// Moves the probability of the named classes to "silence".
void moveToSilence(std::vector<double>& p, std::initializer_list<std::string_view> labels) {
    const int silence = indexOf("silence");
    if (silence < 0)
        return;
    for (auto label : labels) {
        const int c = indexOf(label);
        if (c >= 0 && c != silence) {
            p[std::size_t(silence)] += p[std::size_t(c)];
            p[std::size_t(c)] = 0;
        }
    }
}
// Removes the named classes and shares their probability out among the others.
void drop(std::vector<double>& p, std::initializer_list<std::string_view> labels) {
    double removed = 0;
    for (auto label : labels) {
        const int c = indexOf(label);
        if (c >= 0) {
            removed += p[std::size_t(c)];
            p[std::size_t(c)] = 0;
        }
    }
    if (removed <= 0 || removed >= 1)
        return;
    for (double& v : p)
        v /= (1 - removed);
}
} // namespace

void SoundDecision::applyGuards(const FeatureVector& x, std::vector<double>& p) {
    auto f = [&](Feature k) { return x[std::size_t(k)]; };
    // Nothing happens in the window: it sits at a quiet room's floor without a transient.
    // (A loud steady sound, an organ chord, is its own "floor" and stays with the model; short
    // blocks of a rumbling floor swing by a few dB, hence the 7 dB range.)
    const bool atFloor = f(Feature::levelDb) < kQuietRoomDb && f(Feature::aboveFloorDb) < 3.0f &&
                         f(Feature::rangeDb) < 7.0f && f(Feature::onsetRate) == 0.0f;
    // A window at the floor with nothing louder in its steady context holds no call and no
    // noise event, and the room is silent. (A pause between two calls is left to the model,
    // which hears what came before: the calls of many animals rise too softly to be
    // transients.) Nor does a floor hold a breath or a snore when no breathing rhythm or swing
    // is around; with breaths around, the pause between two is left to the model too (the
    // phase logic counts breathing and silence alike).
    const bool contextQuiet = f(Feature::historyPeakDb) < kContextEventDb;
    if (atFloor && contextQuiet)
        moveToSilence(p, {"bird", "animal", "other"});
    if (atFloor && f(Feature::breathRhythm) < kRhythmHeard && f(Feature::slowSwing) < kSwingHeardDb)
        moveToSilence(p, {"snoring", "breathing"});
    // Speech, music and activity pause, and a pause right after keys or words belongs to them;
    // with neither a transient nor anything louder in the steady context the quiet window is
    // just quiet.
    if (atFloor && contextQuiet && f(Feature::historyOnsetRate) < kActiveOnsetRate)
        moveToSilence(p, {"speech", "whispering", "chatter", "typing", "footsteps", "laughter", "music"});
    // Keys and steps are transients: with none in the window and none in the last 12 s, a low
    // thud-like sound is something else (a snore, a breath).
    if (f(Feature::onsetRate) == 0.0f && f(Feature::historyOnsetRate) < kActiveOnsetRate)
        drop(p, {"typing", "footsteps"});
    // A steady noise this faint is the room's own floor (microphone hiss, distant traffic),
    // not a noise machine or rain that would mask the sleeper.
    const bool faintSteady = f(Feature::levelDb) < kFaintLevelDb && f(Feature::rangeDb) < 6.0f;
    if (faintSteady)
        moveToSilence(p, {"white_noise", "pink_noise", "rain", "wind", "ocean"});
}

std::vector<LabelConfidence> SoundDecision::decide(const FeatureVector& features) const {
    auto p = probabilities(features);
    applyGuards(features, p);
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
