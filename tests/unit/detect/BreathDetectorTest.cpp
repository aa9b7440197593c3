#include "detect/BreathDetector.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

// 400 Hz keeps the trains cheap: a quarter-second block is 100 samples, and each fed buffer is
// exactly one block, so a loud buffer is one loud block.
constexpr double kRate = 400;
constexpr std::size_t kBlock = 100;
constexpr float kQuiet = 0.01f;
constexpr float kLoud = 0.1f;

class BreathTest : public ::testing::Test {
protected:
    BreathTest() {
        start = scheduler.now();
        breath.setEnabled(true);
        breath.setSessionStartedAt(start);
    }

    /// Feeds quarter-second buffers up to `seconds` after the start; a buffer is loud when its
    /// end time (in quarter seconds) is in `loudQuarters`. Each buffer goes through the capture
    /// entry and is processed on the (virtual) main thread at its end time.
    void run(double seconds, const std::set<long>& loudQuarters) {
        std::vector<float> loud(kBlock, kLoud), quiet(kBlock, kQuiet);
        while (quarter < std::lround(seconds * 4)) {
            ++quarter;
            scheduler.advanceTo(start + quarter * 250ms);
            const auto& samples = loudQuarters.count(quarter) ? loud : quiet;
            breath.process(CapturedBuffer{samples.data(), samples.size(), kRate, 1, 0});
            scheduler.runDue();
        }
    }
    /// Quarter-second indices of peaks at the given spacings (seconds), starting at `first`.
    static std::set<long> train(double first, const std::vector<double>& pattern, double until) {
        std::set<long> out;
        double t = first;
        for (std::size_t i = 0; t <= until; ++i) {
            out.insert(std::lround(t * 4));
            t += pattern[i % pattern.size()];
        }
        return out;
    }
    double since(TimePoint t) const { return secondsBetween(start, t); }

    VirtualScheduler scheduler;
    TimePoint start;
    long quarter = 0;
    test::RecordingEventSink events;
    BreathDetector breath{scheduler, scheduler, events};
};

} // namespace

TEST_F(BreathTest, SteadyFifteenPerMinuteDeclaresSleepAfterFiveMinutes) {
    run(420, train(4, {4.0}, 420));
    auto estimates = events.named("breath_estimate");
    ASSERT_FALSE(estimates.empty());
    EXPECT_DOUBLE_EQ(estimates.back()["rpm"].get<double>(), 15.0);
    EXPECT_EQ(estimates.back()["peaks_60s"], 15);
    EXPECT_EQ(estimates.back()["intervals_used"], 14);
    EXPECT_TRUE(estimates.back()["peaks_60s"].is_number_integer());
    EXPECT_TRUE(breath.hasReading.get());
    EXPECT_DOUBLE_EQ(breath.rpm.get(), 15.0);

    // The streak opens once 12 intervals fill the window (13 peaks: t = 52 s) and is long
    // enough from t = 172 s, but sleep waits for the session's fifth minute.
    auto stats = events.named("breath_regularity_stat");
    ASSERT_GE(stats.size(), 3u);
    bool sawOpenStreak = false;
    for (const auto& s : stats) {
        if (s["intervals"].get<int>() >= 12) {
            EXPECT_DOUBLE_EQ(s["cv"].get<double>(), 0.0);
            EXPECT_DOUBLE_EQ(s["window_rpm"].get<double>(), 15.0);
            sawOpenStreak = sawOpenStreak || s["streak_sec"].get<int>() > 0;
        } else {
            EXPECT_DOUBLE_EQ(s["cv"].get<double>(), -1.0);
            EXPECT_DOUBLE_EQ(s["window_rpm"].get<double>(), 0.0);
        }
    }
    EXPECT_TRUE(sawOpenStreak);

    auto asleep = events.named("breath_regularity_asleep");
    ASSERT_EQ(asleep.size(), 1u);
    ASSERT_TRUE(breath.regularitySleepAt.get().has_value());
    const double at = since(*breath.regularitySleepAt.get());
    EXPECT_GE(at, 300.0);
    EXPECT_LE(at, 301.25); // the first estimate from 300 s on (estimates run every 1.25 s here)
    EXPECT_DOUBLE_EQ(asleep[0]["t_from_start"].get<double>(), at);
    EXPECT_GE(asleep[0]["streak_sec"].get<int>(), 120);
    EXPECT_LE(asleep[0]["streak_sec"].get<int>(), 250);
    EXPECT_DOUBLE_EQ(asleep[0]["cv"].get<double>(), 0.0);
    EXPECT_EQ(asleep[0]["intervals"], 44); // 45 peaks from 124 s on (window [120.x, 300.x])
    // After the declaration: no more regularity statistics, estimates go on.
    const auto statsAfter = events.named("breath_regularity_stat").size();
    const auto estimatesBefore = events.named("breath_estimate").size();
    run(480, train(4, {4.0}, 480));
    EXPECT_EQ(events.named("breath_regularity_stat").size(), statsAfter);
    EXPECT_GT(events.named("breath_estimate").size(), estimatesBefore);
    EXPECT_EQ(events.named("breath_regularity_asleep").size(), 1u);
}

TEST_F(BreathTest, AlternatingThreeAndFiveSecondsIsNotRegular) {
    run(420, train(4, {3.0, 5.0}, 420));
    EXPECT_NEAR(breath.rpm.get(), 15.0, 0.6);
    bool sawExactThreshold = false;
    for (const auto& s : events.named("breath_regularity_stat")) {
        EXPECT_EQ(s["streak_sec"], 0);
        if (s["intervals"].get<int>() >= 12) {
            EXPECT_GE(s["cv"].get<double>(), 0.25);
        }
        sawExactThreshold = sawExactThreshold || s["cv"].get<double>() == 0.25;
    }
    EXPECT_TRUE(sawExactThreshold); // an even count of intervals: mean 4, deviation 1, cv 0.25
    EXPECT_TRUE(events.named("breath_regularity_asleep").empty());
    EXPECT_FALSE(breath.regularitySleepAt.get().has_value());
}

TEST_F(BreathTest, TwentyFourPerMinuteIsTooFastForSleep) {
    run(420, train(4, {2.5}, 420));
    EXPECT_DOUBLE_EQ(breath.rpm.get(), 24.0);
    auto stats = events.named("breath_regularity_stat");
    ASSERT_GE(stats.size(), 12u); // every 30 s over 7 minutes
    for (const auto& s : stats)
        EXPECT_EQ(s["streak_sec"], 0);
    EXPECT_DOUBLE_EQ(stats.back()["window_rpm"].get<double>(), 24.0);
    EXPECT_DOUBLE_EQ(stats.back()["cv"].get<double>(), 0.0);
    EXPECT_TRUE(events.named("breath_regularity_asleep").empty());
}

TEST_F(BreathTest, RefractoryTimeAndIntervalLimits) {
    // Loud blocks 1.25 s apart: the second is no breath. 1.5 s apart: both are.
    run(20, {long(4 * 4), long(4 * 4 + 5), long(10 * 4), long(10 * 4 + 6)});
    ASSERT_EQ(breath.peaks().size(), 3u);
    EXPECT_DOUBLE_EQ(since(breath.peaks()[0]), 4.0);
    EXPECT_DOUBLE_EQ(since(breath.peaks()[1]), 10.0);
    EXPECT_DOUBLE_EQ(since(breath.peaks()[2]), 11.5);
}

TEST_F(BreathTest, ThirteenSecondGapIsIgnoredInTheRate) {
    run(40, {long(4 * 4), long(17 * 4), long(21 * 4), long(25 * 4)});
    auto estimates = events.named("breath_estimate");
    ASSERT_FALSE(estimates.empty());
    // Peaks 4, 17, 21, 25: intervals 13 (dropped), 4, 4.
    EXPECT_DOUBLE_EQ(estimates.back()["rpm"].get<double>(), 15.0);
    EXPECT_EQ(estimates.back()["peaks_60s"], 4);
    EXPECT_EQ(estimates.back()["intervals_used"], 2);
}

TEST_F(BreathTest, ExactlyTwoRecentPeaksGiveNoReading) {
    run(30, train(10, {5.0}, 20)); // peaks at 10, 15, 20
    ASSERT_TRUE(breath.hasReading.get());
    run(71, {}); // at 70.x s the last minute holds 15 and 20 only
    EXPECT_FALSE(breath.hasReading.get());
    EXPECT_DOUBLE_EQ(breath.rpm.get(), 12.0);
}

TEST_F(BreathTest, FirstLoudBlockSeedsTheAverageAndIsNoPeak) {
    run(0.25, {1});
    EXPECT_TRUE(breath.peaks().empty());
    EXPECT_NEAR(breath.emaRMS(), kLoud, 1e-7);
}

TEST_F(BreathTest, BlocksSpanBuffersAt48kHz) {
    std::vector<float> buffer(8192, 0.01f);
    breath.processSamples(buffer, 48000);
    EXPECT_EQ(breath.pendingSamples(), 8192u);
    EXPECT_DOUBLE_EQ(breath.emaRMS(), 0.0); // no block yet
    breath.processSamples(buffer, 48000);
    EXPECT_EQ(breath.pendingSamples(), 4384u); // 16384 - 12000
    EXPECT_NEAR(breath.emaRMS(), 0.01, 1e-7);
    breath.processSamples(buffer, 48000);
    EXPECT_EQ(breath.pendingSamples(), 576u); // 4384 + 8192 - 12000
}

TEST_F(BreathTest, DisabledOrUnusableRatesProcessNothing) {
    std::vector<float> buffer(1000, 0.5f);
    breath.processSamples(buffer, 3.9); // a block below one sample
    EXPECT_DOUBLE_EQ(breath.emaRMS(), 0.0);
    breath.processSamples(buffer, std::nan(""));
    EXPECT_DOUBLE_EQ(breath.emaRMS(), 0.0);
    breath.setEnabled(false);
    breath.reset();
    breath.processSamples(buffer, 400);
    EXPECT_EQ(breath.pendingSamples(), 0u);
    // A buffer without float data never reaches the main thread.
    breath.setEnabled(true);
    breath.process(CapturedBuffer{nullptr, 100, 400, 1, 0});
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(BreathTest, ResetForgetsEverythingButTheRateLimits) {
    run(420, train(4, {4.0}, 420));
    ASSERT_TRUE(breath.regularitySleepAt.get().has_value());
    breath.setEnabled(false);
    breath.reset();
    EXPECT_TRUE(breath.peaks().empty());
    EXPECT_DOUBLE_EQ(breath.rpm.get(), 0.0);
    EXPECT_FALSE(breath.hasReading.get());
    EXPECT_FALSE(breath.regularitySleepAt.get().has_value());
    EXPECT_DOUBLE_EQ(breath.emaRMS(), 0.0);
    // Without a session start the regularity step stays silent even with a reading.
    breath.setEnabled(true);
    const auto stats = events.named("breath_regularity_stat").size();
    run(520, train(424, {4.0}, 520));
    EXPECT_TRUE(breath.hasReading.get());
    EXPECT_EQ(events.named("breath_regularity_stat").size(), stats);
}
