#include "fade/FadeLeg.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mirl;
using namespace std::chrono_literals;

namespace {
const TimePoint t0 = TimePoint{} + std::chrono::hours(24 * 365 * 57);
} // namespace

TEST(FadeCurveTest, ShapesProgressAsDocumented) {
    EXPECT_NEAR(shapeProgress(0.5, FadeCurve::easeOut), 1 - std::pow(0.5, 1.6), 1e-12);
    EXPECT_NEAR(shapeProgress(0.5, FadeCurve::easeOut), 0.6701, 1e-4);
    EXPECT_DOUBLE_EQ(shapeProgress(0.5, FadeCurve::easeInOut), 0.5);
    EXPECT_DOUBLE_EQ(shapeProgress(0.25, FadeCurve::easeInOut), 5.0 / 32.0);
    for (auto curve : {FadeCurve::easeOut, FadeCurve::easeInOut}) {
        EXPECT_DOUBLE_EQ(shapeProgress(0.0, curve), 0.0);
        EXPECT_DOUBLE_EQ(shapeProgress(1.0, curve), 1.0);
        // easeOut covers more ground early than easeInOut.
        EXPECT_GT(shapeProgress(0.1, FadeCurve::easeOut), shapeProgress(0.1, FadeCurve::easeInOut));
    }
}

TEST(FadeLegTest, ValueAcrossTheLegAndOutsideIt) {
    const FadeLeg leg{t0, 100, 40, 14};
    EXPECT_DOUBLE_EQ(legValue(leg, t0 - 10s, FadeCurve::easeInOut), 40) << "before its start: start value";
    EXPECT_DOUBLE_EQ(legValue(leg, t0, FadeCurve::easeInOut), 40);
    EXPECT_DOUBLE_EQ(legValue(leg, t0 + 50s, FadeCurve::easeInOut), 27);
    EXPECT_DOUBLE_EQ(legValue(leg, t0 + 25s, FadeCurve::easeInOut), 40 - 26 * 5.0 / 32.0);
    EXPECT_DOUBLE_EQ(legValue(leg, t0 + 100s, FadeCurve::easeOut), 14);
    EXPECT_DOUBLE_EQ(legValue(leg, t0 + 10h, FadeCurve::easeOut), 14) << "a finished leg holds its end value";
    // Fading upwards works the same way.
    EXPECT_NEAR(legValue(FadeLeg{t0, 10, 0, 1}, t0 + 5s, FadeCurve::easeOut), 0.6701, 1e-4);
}

TEST(FadeLegTest, ZeroOrNegativeDurationYieldsTheEndValueAtOnce) {
    for (double d : {0.0, -5.0})
        for (auto t : {t0 - 1s, t0, t0 + 1s})
            EXPECT_DOUBLE_EQ(legValue(FadeLeg{t0, d, 0.2, 0.9}, t, FadeCurve::easeOut), 0.9) << d;
}

TEST(FadeLegTest, DeadlineClampRows) {
    struct Row {
        const char* name;
        std::optional<double> deadlineIn;
        double d;
        double expected;
    };
    const Row rows[] = {
        {"no deadline keeps the duration", std::nullopt, 7200, 7200},
        {"no deadline keeps even a short one", std::nullopt, 5, 5},
        {"deadline further than the duration", 3600, 600, 600},
        {"deadline closer than the duration", 600, 1800, 600},
        {"deadline close: 30-second floor", 10, 540, 30},
        {"deadline just passed: 30 s", -1, 540, 30},
        {"deadline long passed: 30 s", -7200, 540, 30},
    };
    for (const auto& row : rows) {
        std::optional<TimePoint> deadline;
        if (row.deadlineIn)
            deadline = addSeconds(t0, *row.deadlineIn);
        EXPECT_DOUBLE_EQ(deadlineClamp(row.d, deadline, t0), row.expected) << row.name;
    }
}

TEST(FadeLegTest, VolumeFloorRoundingAndWholeSeconds) {
    EXPECT_DOUBLE_EQ(volumeFloorTarget(40, 35), 14);
    EXPECT_DOUBLE_EQ(volumeFloorTarget(40, 95), 32) << "above 80 acts as 80";
    EXPECT_DOUBLE_EQ(volumeFloorTarget(40, -10), 0) << "below 0 acts as 0";
    EXPECT_DOUBLE_EQ(volumeFloorTarget(30, 35), 10.5);
    EXPECT_EQ(roundVolume(34.5), 35);
    EXPECT_EQ(roundVolume(34.4), 34);
    EXPECT_EQ(roundVolume(34.49999), 34);
    EXPECT_EQ(roundVolume(0.5), 1);
    EXPECT_EQ(wholeSeconds(599.99), 599) << "cut, not rounded";
    EXPECT_EQ(wholeSeconds(30.0), 30);
    EXPECT_EQ(finiteSeconds(std::nan("")), 0);
    EXPECT_EQ(finiteSeconds(INFINITY), 0);
    EXPECT_EQ(finiteSeconds(12.5), 12.5);
}
