#pragma once

#include "detect/SoundClassifier.h"
#include "detect/classifier/WindowFeatures.h"

#include <vector>

namespace mirl::classifier {

/// Turns a window's features into labels with confidences, highest first.
class SoundDecision {
public:
    std::vector<LabelConfidence> decide(const FeatureVector& features) const;
};

} // namespace mirl::classifier
