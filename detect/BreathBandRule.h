#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace mirl {

/// The decision half of the breath-band detector, one half-second block level at a time:
/// baseline by upper median of the first two minutes, exponential smoothing, and the
/// below-target streak that declares sleep. Plain state, no threads (the detector keeps it on
/// its queue).
class BreathBandRule {
public:
    struct Block {
        double t = 0; // seconds since configuration
        double rms = 0;
    };
    struct Fired {
        double t, smoothed, baseline, target;
    };
    struct Outcome {
        std::optional<double> newBaseline; // learned at this block
        std::size_t blocksSeen = 0;        // blocks stepped since the last reset, this one included
        std::optional<Fired> fired;
    };

    static constexpr double baselineSeconds = 120.0;
    static constexpr std::size_t minBaselineBlocks = 5;
    static constexpr double dropRatio = 0.15;
    static constexpr double minStreakSeconds = 60.0;
    static constexpr double minSecondsSinceStart = 300.0;
    static constexpr double smoothAlpha = 0.2;

    /// One block at t seconds with its level. publishedBaseline: the baseline as last published
    /// (nothing while none is published); asleepPublished: whether sleep has been published.
    Outcome step(double t, double level, std::optional<double> publishedBaseline, bool asleepPublished);
    void reset();
    /// Stop: forgets the block list (smoothing and streak wait for the next reset).
    void clearBlocks() {
        blocks_.clear();
        blocksSeen_ = 0;
    }

    /// The blocks of the baseline period (t <= 120 s) stepped since the last reset, and the
    /// latest block after it.
    const std::vector<Block>& blocks() const { return blocks_; }
    double smoothed() const { return smoothed_; }
    std::optional<double> streakStart() const { return streakStart_; }

    /// The upper median of the levels of blocks with t <= 120 s, nothing with fewer than 5.
    static std::optional<double> baselineOf(const std::vector<Block>& blocks);

private:
    std::vector<Block> blocks_;
    std::size_t blocksSeen_ = 0;
    double smoothed_ = 0; // 0: not yet seeded
    std::optional<double> streakStart_;
};

} // namespace mirl
