#pragma once

#include "detect/classifier/FrameFeatures.h"

#include <vector>

namespace mirl::classifier {

// Helpers shared by the window and context features.
inline constexpr float kFrameRate = float(kAnalysisRate) / kHop; // 33.3 frames per second

float powerToDb(double power);
double dbToPower(float db);
/// The q-quantile (0..1) of values, by selection; 0 for none.
float percentile(std::vector<float> values, double q);
/// Below this a floor is taken as this: no microphone is quieter, and the tail of an event
/// fading into digital zero is no new event.
inline constexpr float kOnsetFloorDb = -80.0f;
/// Sharp rises of the 7.5 ms block envelope: 9 dB above the mean power of the four blocks
/// before (30 ms; a mean, so that the pitch periods of a low buzz, which make single blocks
/// swing, do not count), 12 dB above the floor (at least kOnsetFloorDb), at least 30 ms apart.
int countOnsets(const std::vector<float>& blocks, float floorDb);
/// Largest normalised autocorrelation of a mean-removed series over lags [lo, hi].
float periodicity(const std::vector<float>& x, int lo, int hi);

} // namespace mirl::classifier
