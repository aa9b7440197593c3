#include "detect/BreathBandRule.h"

#include <algorithm>

namespace mirl {

BreathBandRule::Outcome BreathBandRule::step(double t, double level, std::optional<double> publishedBaseline,
                                             bool asleepPublished) {
    // Only the first two minutes make the baseline; of the later blocks only the latest is
    // kept (the others are counted), so that a night does not pile them up.
    ++blocksSeen_;
    if (t > baselineSeconds && !blocks_.empty() && blocks_.back().t > baselineSeconds)
        blocks_.back() = {t, level};
    else
        blocks_.push_back({t, level});
    Outcome out;
    out.blocksSeen = blocksSeen_;

    // Until the main thread has published a baseline, every block from 120 s on computes it
    // again (the same value).
    std::optional<double> baseline = publishedBaseline;
    if (!baseline && t >= baselineSeconds) {
        out.newBaseline = baselineOf(blocks_);
        baseline = out.newBaseline;
    }

    smoothed_ = 0.2 * level + 0.8 * (smoothed_ != 0 ? smoothed_ : level);

    if (baseline && !asleepPublished) {
        const double target = *baseline * 0.85; // 1 - dropRatio
        if (smoothed_ < target) {
            if (!streakStart_)
                streakStart_ = t;
            if (t >= minSecondsSinceStart && t - *streakStart_ >= minStreakSeconds)
                out.fired = Fired{t, smoothed_, *baseline, target};
        } else {
            streakStart_.reset();
        }
    }
    return out;
}

void BreathBandRule::reset() {
    clearBlocks();
    smoothed_ = 0;
    streakStart_.reset();
}

std::optional<double> BreathBandRule::baselineOf(const std::vector<Block>& blocks) {
    std::vector<double> levels;
    for (const auto& b : blocks)
        if (b.t <= baselineSeconds)
            levels.push_back(b.rms);
    if (levels.size() < minBaselineBlocks)
        return std::nullopt;
    std::sort(levels.begin(), levels.end());
    return levels[levels.size() / 2];
}

} // namespace mirl
