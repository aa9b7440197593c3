#include "detect/BreathBandRule.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mirl;

namespace {

/// Blocks every half second from t = 0.5 s; `level(t)` gives each block's level. Returns the
/// first fired outcome, with the rule left where it fired.
struct Driver {
    BreathBandRule rule;
    std::optional<double> published;
    bool asleep = false;

    template <typename F> std::optional<BreathBandRule::Fired> runUntil(double until, F level) {
        for (int k = 1; k * 0.5 <= until; ++k) {
            const double t = k * 0.5;
            auto out = rule.step(t, level(t), published, asleep);
            if (out.newBaseline && !published)
                published = out.newBaseline; // the main thread catches up at once
            if (out.fired)
                return out.fired;
        }
        return std::nullopt;
    }
};

} // namespace

TEST(BreathBandRuleTest, BaselineIsTheUpperMedianOfTheFirstTwoMinutes) {
    struct Row {
        const char* name;
        int count;
        std::optional<double> expected;
    };
    for (auto row : {Row{"240 blocks: index 120 of the sorted levels", 240, 121.0},
                     Row{"5 blocks: third smallest", 5, 3.0}, Row{"4 blocks: none", 4, std::nullopt},
                     Row{"6 blocks: upper median", 6, 4.0}}) {
        // Levels count..1 in falling order (so sorting matters), all at t <= 120 s, and a later
        // block that must not count.
        std::vector<BreathBandRule::Block> blocks;
        for (int i = 0; i < row.count; ++i)
            blocks.push_back({120.0 * (i + 1) / row.count, static_cast<double>(row.count - i)});
        blocks.push_back({120.5, 0.0});
        EXPECT_EQ(BreathBandRule::baselineOf(blocks), row.expected) << row.name;
    }
}

TEST(BreathBandRuleTest, BaselineIsLearnedAtTheFirstBlockFromTwoMinutesOn) {
    BreathBandRule rule;
    for (int k = 1; k < 240; ++k)
        EXPECT_FALSE(rule.step(k * 0.5, 1.0, std::nullopt, false).newBaseline) << k;
    auto out = rule.step(120.0, 1.0, std::nullopt, false);
    ASSERT_TRUE(out.newBaseline);
    EXPECT_DOUBLE_EQ(*out.newBaseline, 1.0);
    EXPECT_EQ(out.blocksSeen, 240u);
    // Until the baseline is published, the next block computes it again.
    EXPECT_TRUE(rule.step(120.5, 1.0, std::nullopt, false).newBaseline);
    EXPECT_FALSE(rule.step(121.0, 1.0, 1.0, false).newBaseline);
}

TEST(BreathBandRuleTest, FewerThanFiveEarlyBlocksNeverGiveABaseline) {
    BreathBandRule rule;
    for (double t : {30.0, 60.0, 90.0, 120.0})
        rule.step(t, 1.0, std::nullopt, false);
    for (int k = 0; k < 1000; ++k) {
        auto out = rule.step(120.5 + k * 0.5, 0.1, std::nullopt, false);
        EXPECT_FALSE(out.newBaseline);
        EXPECT_FALSE(out.fired);
    }
}

TEST(BreathBandRuleTest, FirstBlockSeedsTheSmoothedLevel) {
    BreathBandRule rule;
    rule.step(0.5, 0.4, std::nullopt, false);
    EXPECT_DOUBLE_EQ(rule.smoothed(), 0.2 * 0.4 + 0.8 * 0.4);
    rule.step(1.0, 0.9, std::nullopt, false);
    EXPECT_DOUBLE_EQ(rule.smoothed(), 0.2 * 0.9 + 0.8 * (0.2 * 0.4 + 0.8 * 0.4));
}

TEST(BreathBandRuleTest, StreakStartingBeforeFiveMinutesFiresFromThreeHundredSeconds) {
    struct Row {
        const char* name;
        double dropAt;
        double firesAt;
    };
    for (auto row : {Row{"below from 200 s fires at the first block from 300 s", 200.0, 300.0},
                     Row{"below from 280 s fires at the first block from 340 s", 280.0, 340.0},
                     Row{"below from 250 s fires at 310 s", 250.0, 310.0}}) {
        Driver d;
        // The published baseline is 1; the smoothed level is below 0.85 exactly from dropAt on.
        d.published = 1.0;
        auto fired = d.runUntil(600, [&](double t) { return t < row.dropAt ? 1.0 : 0.0; });
        // 0.2*0 + 0.8*1 = 0.8 < 0.85: the first low block already lies below the target.
        ASSERT_TRUE(fired) << row.name;
        EXPECT_DOUBLE_EQ(fired->t, row.firesAt) << row.name;
        EXPECT_EQ(d.rule.streakStart(), row.dropAt) << row.name;
        EXPECT_DOUBLE_EQ(fired->baseline, 1.0);
        EXPECT_DOUBLE_EQ(fired->target, 0.85);
        EXPECT_LT(fired->smoothed, 0.85);
    }
}

TEST(BreathBandRuleTest, LevelExactlyAtTargetNeitherStartsNorExtendsAStreak) {
    // Baseline 1/0.85 makes the target exactly 1.0, and a constant level 1.0 smooths to 1.0.
    const double baseline = 1.0 / 0.85;
    ASSERT_EQ(baseline * 0.85, 1.0);
    Driver d;
    d.published = baseline;
    EXPECT_FALSE(d.runUntil(400, [](double) { return 1.0; }));
    EXPECT_EQ(d.rule.smoothed(), 1.0);
    EXPECT_FALSE(d.rule.streakStart());

    // An open streak ends at a block exactly at the target.
    BreathBandRule rule;
    rule.step(100.0, 0.75, baseline, false);
    ASSERT_EQ(rule.streakStart(), 100.0);
    // A block of 2.0 lifts the smoothed level from about 0.75 to exactly 1.0.
    ASSERT_EQ(0.2 * 2.0 + 0.8 * rule.smoothed(), 1.0);
    rule.step(100.5, 2.0, baseline, false);
    EXPECT_EQ(rule.smoothed(), 1.0);
    EXPECT_FALSE(rule.streakStart());
}

TEST(BreathBandRuleTest, NoDecisionWithoutBaselineOrOncePublishedAsleep) {
    Driver d;
    // No baseline learned (all levels 0 give a baseline 0 whose target nothing is below).
    EXPECT_FALSE(d.runUntil(500, [](double) { return 0.0; }));
    Driver e;
    e.published = 1.0;
    e.asleep = true;
    EXPECT_FALSE(e.runUntil(500, [](double) { return 0.0; }));
    EXPECT_FALSE(e.rule.streakStart());
}

TEST(BreathBandRuleTest, FiresAgainWhileTheMainThreadHasNotPublished) {
    BreathBandRule rule;
    for (int k = 1; k <= 600; ++k)
        rule.step(k * 0.5, 0.0, 1.0, false);
    EXPECT_TRUE(rule.step(300.5, 0.0, 1.0, false).fired);
    EXPECT_FALSE(rule.step(301.0, 0.0, 1.0, true).fired);
}
