#include "platform/GammaMath.h"
#include "platform/Backlight.h"
#include "platform/CompositeBacklight.h"
#include "platform/fake/FakeBacklight.h"

#include <gtest/gtest.h>

using namespace mirl;

TEST(GammaMath, StrengthToKelvin) {
    EXPECT_EQ(kelvinForStrength(0), 6500);
    EXPECT_EQ(kelvinForStrength(1), 3400);
    EXPECT_EQ(kelvinForStrength(0.5), 4950);
    EXPECT_EQ(kelvinForStrength(2), 3400);
    EXPECT_EQ(kelvinForStrength(-1), 6500);
}

TEST(GammaMath, WhitePointIsNeutralAt6500AndWarmsBelow) {
    EXPECT_TRUE(whitePointForKelvin(6500).neutral());
    WhitePoint previous = whitePointForKelvin(6500);
    for (int k = 6400; k >= 3400; k -= 100) {
        const WhitePoint wp = whitePointForKelvin(k);
        EXPECT_DOUBLE_EQ(wp.red, 1.0) << k << " K: red stays full when warming";
        EXPECT_LT(wp.green, previous.green) << k;
        EXPECT_LT(wp.blue, previous.blue) << k;
        EXPECT_LT(wp.blue, wp.green) << k;
        previous = wp;
    }
    // At the warmest (encoded values, as the ramps hold them): green about four fifths, blue
    // about half.
    const WhitePoint warm = whitePointForKelvin(3400);
    EXPECT_GT(warm.green, 0.7);
    EXPECT_LT(warm.green, 0.85);
    EXPECT_GT(warm.blue, 0.45);
    EXPECT_LT(warm.blue, 0.6);
}

TEST(GammaMath, WhitePointInterpolatesBetweenTableSteps) {
    const WhitePoint a = whitePointForKelvin(4000), b = whitePointForKelvin(4100),
                     mid = whitePointForKelvin(4050);
    EXPECT_NEAR(mid.green, (a.green + b.green) / 2, 1e-12);
    EXPECT_NEAR(mid.blue, (a.blue + b.blue) / 2, 1e-12);
}

TEST(GammaMath, ScaleRampRoundsAndClamps) {
    const std::vector<std::uint16_t> ramp{0, 1, 1000, 65535};
    EXPECT_EQ(scaleRamp(ramp, 1.0), ramp);
    EXPECT_EQ(scaleRamp(ramp, 0.5), (std::vector<std::uint16_t>{0, 1, 500, 32768}));
    EXPECT_EQ(scaleRamp(ramp, 2.0), ramp);
    EXPECT_EQ(scaleRamp(ramp, -1.0), (std::vector<std::uint16_t>{0, 0, 0, 0}));
}

TEST(Backlight, RawValueNeverBelowOnePercent) {
    struct Row {
        const char* name;
        float level;
        long long max, raw;
    };
    for (const Row& row :
         {Row{"half", 0.5f, 1000, 500}, Row{"zero to one percent", 0.0f, 1000, 10},
          Row{"small range keeps one", 0.0f, 7, 1}, Row{"full", 1.0f, 255, 255},
          Row{"above full", 3.0f, 255, 255}, Row{"rounds", 0.3333f, 100, 33}, Row{"no range", 0.5f, 0, 0}}) {
        EXPECT_EQ(backlightRawValue(row.level, row.max), row.raw) << row.name;
    }
}

TEST(Backlight, FirstDisplayThatAnswersGivesTheRead) {
    FakeBacklight panel, monitor;
    panel.answers = false;
    monitor.level = 0.3f;
    CompositeBacklight both({&panel, &monitor});
    EXPECT_FLOAT_EQ(*both.readLevel(), 0.3f);
    panel.answers = true;
    EXPECT_FLOAT_EQ(*both.readLevel(), 0.8f);
    EXPECT_TRUE(both.writeLevel(0.5f));
    EXPECT_EQ(monitor.writes, std::vector<float>{0.5f}) << "writes go to every display";
    panel.answers = monitor.answers = false;
    EXPECT_FALSE(both.readLevel());
    EXPECT_FALSE(both.writeLevel(0.5f));
}
