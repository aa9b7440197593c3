#pragma once

#include "detect/SoundClassifier.h"
#include "detect/classifier/WindowFeatures.h"

#include <vector>

namespace mirl::classifier {

/// Turns a window's features into labels with confidences, highest first: a small ensemble
/// of perceptrons (standardised features, two tanh layers each, logits averaged, softmax) trained by
/// scripts/classifier/train-model, with a per-class calibration of its logits fitted on the
/// development set, so that its probabilities can serve as confidences.
class SoundDecision {
public:
    std::vector<LabelConfidence> decide(const FeatureVector& features) const;
    /// Probabilities of every class the model knows, in the model's order, before the guards.
    std::vector<double> probabilities(const FeatureVector& features) const;

    /// Below this level (dB re full scale) a steady noise counts as the room's floor.
    static constexpr float kFaintLevelDb = -56.0f;
    /// Below this level a window without events is a quiet room's floor.
    static constexpr float kQuietRoomDb = -48.0f;
    /// Transients per second over the steady context from which someone counts as active.
    static constexpr float kActiveOnsetRate = 0.25f;
    /// Loudest frame of the steady context above its floor (dB) from which something happened
    /// there: sparse calls or knocks leave most of the context at the floor.
    static constexpr float kContextEventDb = 10.0f;
    /// Breathing rhythm and slow swing (dB) of the context from which breaths may be around.
    static constexpr float kRhythmHeard = 0.4f;
    static constexpr float kSwingHeardDb = 4.0f;
    /// Physical guards applied after the model: a window at the room's floor is not an event,
    /// and a faint steady noise is silence rather than an ambient noise.
    static void applyGuards(const FeatureVector& features, std::vector<double>& probabilities);
};

} // namespace mirl::classifier
