#pragma once

#include "detect/classifier/FrameFeatures.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace mirl::classifier {

/// The features of one 1.5-second window, in a fixed order (the decision's input). Spectral
/// shares are relative to the speech band (250-3400 Hz), which every source carries: a
/// telephone-band or headset source changes only the two high shares.
enum class Feature : int {
    levelDb,          // mean power of the window, dB re full scale
    quietDb,          // 10th percentile of the 7.5 ms block energies
    rangeDb,          // 90th minus 10th percentile of the block energies
    aboveFloorDb,     // level above the room's floor (10th percentile of the steady context)
    lowShare,         // 0-250 Hz energy, dB re the speech band
    band1,            // 250-500 Hz, dB re the speech band
    band2,            // 500-1000 Hz
    band3,            // 1000-2000 Hz
    band4,            // 2000-3400 Hz
    high1,            // 3400-5500 Hz, dB re the speech band
    high2,            // 5500-8000 Hz, dB re the speech band
    flatness,         // mean spectral flatness in the speech band
    slope,            // mean spectral slope over the speech band, dB per octave
    centroid,         // log2 of the mean centroid below 3400 Hz
    voicedShare,      // share of frames with a clear pitch above the floor
    voicing,          // mean voicing strength
    pitch,            // log2 of the median pitch of voiced frames (log2 150 when none)
    pitchJitter,      // mean pitch change between voiced neighbours, octaves
    lowPeriodicity,   // mean 25-60 Hz periodicity
    persistence,      // mean fine-spectrum correlation over 60 ms
    flux,             // mean positive speech-band level change per frame, dB
    onsetRate,        // sharp energy rises per second
    crestDb,          // loudest block above the median block
    syllabic,         // share of the envelope's modulation at 2-8 Hz
    loudLowShareDb,   // below-500 Hz share (of 0-3400 Hz) of the window's loudest frames, dB
    loudPeriodicity,  // periodicity (25-400 Hz) of those loudest frames
    digitalShare,     // share of frames at digital silence
    voicedRun,        // mean length of the window's runs of voiced frames, seconds
    steadySeconds,    // how long the room has sounded like this (up to 12 s): the context's length
    historyRangeDb,   // 90th minus 10th percentile of frame energies over the steady context
    breathRhythm,     // envelope periodicity at 2.5-7.5 s over the steady context (from 8 s on)
    slowSwing,        // swing of the 1-second levels over the steady context, dB
    historyOnsetRate, // sharp energy rises per second over the steady context
    historyLowPeakDb, // 90th percentile of the below-500 Hz level over the steady context, above the floor
    historyVoiced,    // share of clearly voiced frames over the steady context
    historyPeakDb,    // loudest frame of the steady context above its floor: did anything happen?
    count
};
inline constexpr int kFeatureCount = int(Feature::count);
using FeatureVector = std::array<float, kFeatureCount>;

std::string_view featureName(Feature f);

inline constexpr int kWindowFrames = 48;     // frames whose span lies inside 1.5 s (24000 samples)
inline constexpr int kWindowStepFrames = 25; // 0.75 s
inline constexpr int kHistoryFrames = 400;   // 12 s of context

/// Keeps the last 12 s of frame features and turns the newest 48 into a window's features.
/// The context is the part of those 12 s that sounds like the present: after a scene change
/// (a television switched on, music that stopped) it starts again from the change.
class WindowFeatureExtractor {
public:
    void addFrame(const FrameFeatures& frame);
    /// Features of the window made of the newest kWindowFrames frames (needs that many).
    FeatureVector compute() const;
    std::size_t frameCount() const { return std::min<std::size_t>(history_.size(), kHistoryFrames); }
    void reset() { history_.clear(); }

    /// Number of newest frames (at least one window's, at most all) since the last scene change
    /// in these frame energies: the latest boundary, every two window steps (1.5 s), where the newer
    /// part, even in its pauses (10th percentile), is louder than nearly all of the older one (90th),
    /// or even at its loudest quieter than the older part's quiet moments. Breaths that come and
    /// go are no change; a television switched on, or music that stops, is.
    static std::size_t steadyFrames(const std::vector<float>& energiesDb);

private:
    void computeContext(std::span<const FrameFeatures> context, float floorDb, FeatureVector& v) const;

    std::vector<FrameFeatures> history_; // oldest first; trimmed to kHistoryFrames in batches
};

} // namespace mirl::classifier
