#include "fade/GammaController.h"
#include "fade/NightShiftController.h"
#include "platform/fake/FakeGammaRamps.h"
#include "platform/fake/FakeNightLight.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mirl;

TEST(GammaController, TopOfTheRampFollowsTheDarkness) {
    struct Row {
        const char* name;
        double darkness;
        float top;
    };
    for (const Row& row : {Row{"ambiance maximum", 0.75, static_cast<float>(1 - 0.65 * 0.75)},
                           Row{"beyond one is one", 1.4, 0.35f}, Row{"one", 1.0, 0.35f},
                           Row{"threshold", 0.001, static_cast<float>(1 - 0.65 * 0.001)}}) {
        FakeGammaRamps ramps;
        GammaController gamma(&ramps);
        gamma.apply(row.darkness);
        ASSERT_EQ(ramps.brightnessWrites.size(), 1u) << row.name;
        EXPECT_EQ(static_cast<float>(ramps.brightnessWrites[0]), row.top) << row.name;
        EXPECT_TRUE(gamma.active()) << row.name;
    }
}

TEST(GammaController, RestoresOnlyWhatItDimmed) {
    FakeGammaRamps ramps;
    GammaController gamma(&ramps);
    gamma.apply(0.0005);
    gamma.apply(-1);
    EXPECT_TRUE(ramps.brightnessWrites.empty()) << "nothing applied, nothing restored";
    gamma.apply(0.5);
    gamma.apply(0.0);
    ASSERT_EQ(ramps.brightnessWrites.size(), 2u);
    EXPECT_EQ(ramps.brightnessWrites[1], 1.0);
    EXPECT_FALSE(gamma.active());
    gamma.restore();
    EXPECT_EQ(ramps.brightnessWrites.size(), 2u) << "restore is idempotent";
}

TEST(GammaController, QuitRestoresEverythingInAnyState) {
    FakeGammaRamps ramps;
    GammaController gamma(&ramps);
    gamma.willTerminate();
    EXPECT_EQ(ramps.restoreAllCalls, 1);
    GammaController none(nullptr);
    none.apply(0.5); // no ramps: keeps state only
    EXPECT_TRUE(none.active());
    none.willTerminate();
}

TEST(NightShiftController, SendsStrengthThenEnableThenCommit) {
    FakeNightLight light;
    light.caps.commit = true;
    RecordingConsole console;
    NightShiftController ns(&light, console);
    ns.setStrength(0.5);
    EXPECT_EQ(light.calls, (std::vector<std::string>{"strength 0.500000 commit", "enable", "commit"}));
    EXPECT_TRUE(console.lines().empty());
}

TEST(NightShiftController, StrengthRules) {
    struct Row {
        const char* name;
        double strength;
        std::vector<std::string> calls;
    };
    for (const Row& row :
         {Row{"half", 0.5, {"strength 0.500000 commit", "enable"}},
          Row{"above one is one", 1.7, {"strength 1.000000 commit", "enable"}},
          Row{"zero disables", 0.0, {"disable"}}, Row{"below threshold disables", 0.0009, {"disable"}},
          Row{"negative disables", -0.2, {"disable"}},
          Row{"not a number disables", std::nan(""), {"disable"}}}) {
        FakeNightLight light;
        RecordingConsole console;
        NightShiftController ns(&light, console);
        ns.setStrength(row.strength);
        EXPECT_EQ(light.calls, row.calls) << row.name;
        EXPECT_TRUE(console.lines().empty()) << row.name << ": a missing commit is not reported";
    }
}

TEST(NightShiftController, ReportsMissingOperationsAndGoesOn) {
    FakeNightLight light;
    light.caps.strength = false;
    RecordingConsole console;
    NightShiftController ns(&light, console);
    ns.setStrength(0.3);
    EXPECT_EQ(light.calls, std::vector<std::string>{"enable"});
    light.caps = {true, false, true};
    ns.setStrength(0.3);
    ns.disable();
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"Mirl NightShift: setStrength:commit: not found",
                                                         "Mirl NightShift: setEnabled: not found",
                                                         "Mirl NightShift: setEnabled: not found"}));
}

TEST(NightShiftController, WithoutABackendSaysSoOnceAndDoesNothing) {
    RecordingConsole console;
    NightShiftController ns(nullptr, console);
    ns.setStrength(0.5);
    ns.disable();
    ns.willTerminate();
    EXPECT_EQ(console.lines(), std::vector<std::string>{"Mirl NightShift: no night-light backend found"});
    EXPECT_FALSE(ns.available());
}
