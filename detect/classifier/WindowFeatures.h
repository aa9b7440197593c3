#pragma once

#include "detect/classifier/FrameFeatures.h"

#include <array>
#include <deque>
#include <span>
#include <string_view>

namespace mirl::classifier {

/// The features of one 1.5-second window, in a fixed order (the decision's input).
enum class Feature : int {
    levelDb,      // mean power of the window, dB re full scale
    quietDb,      // 10th percentile of the 7.5 ms block energies
    rangeDb,      // 90th minus 10th percentile of the block energies
    aboveFloorDb, // level above the room's floor (10th percentile of the last 12 s)
    band0,
    band1,
    band2,
    band3,
    band4,
    band5,            // band energy share, dB re the window's total
    flatness,         // mean spectral flatness
    slope,            // mean spectral slope, dB per octave
    centroid,         // log2 of the mean centroid in Hz
    voicedShare,      // share of frames with a clear pitch above the floor
    voicing,          // mean voicing strength
    pitch,            // log2 of the median pitch of voiced frames (log2 150 when none)
    pitchJitter,      // mean pitch change between voiced neighbours, octaves
    lowPeriodicity,   // mean 25-60 Hz periodicity
    persistence,      // mean fine-spectrum correlation over 60 ms
    flux,             // mean positive band-level change per frame, dB
    onsetRate,        // sharp energy rises per second
    crestDb,          // loudest block above the median block
    syllabic,         // share of the envelope's modulation at 2-8 Hz
    historyRangeDb,   // 90th minus 10th percentile of frame energies over the last 12 s
    breathRhythm,     // envelope periodicity at 2.5-7.5 s over the last 12 s
    slowSwing,        // envelope modulation at 0.1-0.5 Hz over the last 12 s, dB
    historyOnsetRate, // sharp energy rises per second over the last 12 s
    historyLowPeakDb, // 90th percentile of the below-500 Hz level over the last 12 s, above the floor
    historyVoiced,    // share of clearly voiced frames over the last 12 s
    loudLowShareDb,   // below-500 Hz share of the window's loudest frames (within 6 dB of the top), dB
    loudPeriodicity,  // periodicity (25-400 Hz) of those loudest frames
    count
};
inline constexpr int kFeatureCount = int(Feature::count);
using FeatureVector = std::array<float, kFeatureCount>;

std::string_view featureName(Feature f);

inline constexpr int kWindowFrames = 48;     // frames whose span lies inside 1.5 s (24000 samples)
inline constexpr int kWindowStepFrames = 25; // 0.75 s
inline constexpr int kHistoryFrames = 400;   // 12 s of context

/// Keeps the last 12 s of frame features and turns the newest 48 into a window's features.
class WindowFeatureExtractor {
public:
    void addFrame(const FrameFeatures& frame);
    /// Features of the window made of the newest kWindowFrames frames (needs that many).
    FeatureVector compute() const;
    std::size_t frameCount() const { return history_.size(); }
    void reset() { history_.clear(); }

private:
    std::deque<FrameFeatures> history_;
};

} // namespace mirl::classifier
