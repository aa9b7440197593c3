#pragma once

#include "detect/classifier/SoundLabels.h"
#include "detect/classifier/WindowFeatures.h"

#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mirl::classifier_eval {

/// One clip of the evaluation set: raw float32 mono samples, its true label and rate. Windows
/// that start before `fromSeconds` (the room's floor before the sound, or the scene before a
/// change) are not scored.
struct Clip {
    std::string file;
    std::string label;
    int rate = 0;
    double fromSeconds = 0;
};

/// Reads "file<TAB>label<TAB>rate[<TAB>from]" lines; nullopt and a message when the manifest
/// is unusable.
std::optional<std::vector<Clip>> readManifest(const std::string& dir, std::string& error);

/// Tallies of classified windows.
struct Tally {
    struct PerClass {
        int windows = 0;
        int labelRight = 0;
        int groupRight = 0;
        int confidentSleep = 0; // a sleep-set label at >= 0.6
    };
    std::map<std::string, PerClass> perClass;
    std::array<std::array<int, classifier::kSoundGroupCount>, classifier::kSoundGroupCount> confusion{};
    std::array<int, classifier::kSoundGroupCount> confidentSleep{}; // per true group

    int windows() const;
    int groupRight() const;
    double groupAccuracy() const;
    /// Mean over the true groups present ("other" left out) of the share of their windows in the
    /// right group.
    double balancedGroupAccuracy() const;
};

/// Runs a fresh classifier over each clip in capture-sized buffers and tallies the windows.
/// With features, writes one line per window: clip, label, start, then the feature values.
/// Returns false with error when a clip cannot be read.
/// gainDb scales every clip (a more or less sensitive microphone).
bool evaluate(const std::string& dir, const std::vector<Clip>& clips, std::size_t bufferFrames, double gainDb,
              Tally& tally, std::FILE* features, std::string& error);

/// Per-class table, group confusion matrix and the confidence checks, as text.
std::string report(const Tally& tally);

} // namespace mirl::classifier_eval
