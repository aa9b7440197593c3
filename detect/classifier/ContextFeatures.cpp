#include "detect/classifier/FeatureMath.h"
#include "detect/classifier/WindowFeatures.h"

#include <algorithm>

namespace mirl::classifier {

// Slow context: the frames since the last scene change (at most the last 12 s).
void WindowFeatureExtractor::computeContext(std::span<const FrameFeatures> context, float floorDb,
                                            FeatureVector& v) const {
    auto set = [&](Feature f, double value) { v[std::size_t(f)] = float(value); };
    std::vector<float> energies;
    energies.reserve(context.size());
    for (const auto& f : context)
        energies.push_back(f.energyDb);
    set(Feature::historyRangeDb, percentile(energies, 0.9) - floorDb);
    set(Feature::historyPeakDb,
        energies.empty() ? 0.0f : *std::max_element(energies.begin(), energies.end()) - floorDb);

    // Envelope at 6.7 Hz (5-frame means), floored at the room's floor.
    std::vector<float> env;
    for (std::size_t i = 0; i + 5 <= context.size(); i += 5) {
        double s = 0;
        for (std::size_t j = i; j < i + 5; ++j)
            s += std::max(context[j].energyDb, floorDb);
        env.push_back(float(s / 5));
    }
    // Swing of the 1-second means: how far the level breathes.
    std::vector<float> slow;
    for (std::size_t i = 0; i + 7 <= env.size(); i += 3) {
        double s = 0;
        for (std::size_t j = i; j < i + 7; ++j)
            s += env[j];
        slow.push_back(float(s / 7));
    }
    set(Feature::slowSwing, slow.size() >= 4 ? percentile(slow, 0.9) - percentile(slow, 0.1) : 0.0);
    float rhythm = 0;
    const float envRate = kFrameRate / 5;
    if (env.size() >= std::size_t(8 * envRate)) {
        double mean = 0;
        for (float x : env)
            mean += x;
        mean /= double(env.size());
        for (float& x : env)
            x = float(x - mean);
        rhythm = periodicity(env, int(2.5f * envRate), int(7.5f * envRate));
    }
    set(Feature::breathRhythm, rhythm);

    std::vector<float> blocks, low;
    blocks.reserve(context.size() * kSubBlocks);
    low.reserve(context.size());
    int voicedFrames = 0;
    for (const auto& f : context) {
        for (float b : f.subDb)
            blocks.push_back(std::max(b, kSilenceFloorDb));
        low.push_back(powerToDb(dbToPower(f.bandDb[0]) + dbToPower(f.bandDb[1])));
        voicedFrames +=
            (f.energyDb > floorDb + 6 || f.energyDb > -50.0f) && f.voicing > 0.5f && f.pitchHz > 0;
    }
    const double seconds = double(context.size()) / kFrameRate;
    set(Feature::historyOnsetRate, seconds > 0 ? countOnsets(blocks, floorDb) / seconds : 0.0);
    set(Feature::historyLowPeakDb, percentile(low, 0.9) - floorDb);
    set(Feature::historyVoiced, context.empty() ? 0.0 : double(voicedFrames) / double(context.size()));
}

} // namespace mirl::classifier
