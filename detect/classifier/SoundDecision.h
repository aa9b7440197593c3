#pragma once

#include "detect/SoundClassifier.h"
#include "detect/classifier/WindowFeatures.h"

#include <vector>

namespace mirl::classifier {

/// Turns a window's features into labels with confidences, highest first: a small
/// perceptron (standardised features, one tanh layer, softmax) trained by
/// scripts/classifier/train-model, whose probabilities are the confidences.
class SoundDecision {
public:
    std::vector<LabelConfidence> decide(const FeatureVector& features) const;
    /// Probabilities of every class the model knows, in the model's order.
    std::vector<double> probabilities(const FeatureVector& features) const;
};

} // namespace mirl::classifier
