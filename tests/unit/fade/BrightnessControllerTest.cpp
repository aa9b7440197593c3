#include "fade/BrightnessController.h"
#include "core/settings/SettingsKeys.h"
#include "platform/fake/FakeBacklight.h"
#include "platform/fake/MemoryRestoreState.h"
#include "platform/fake/MemorySettingsStore.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

using namespace mirl;

namespace {

struct BrightnessWorld {
    FakeBacklight backlight;
    MemorySettingsStore store;
    Settings settings{store};
    test::RecordingEventSink events;
    MemoryRestoreState restoreState;
    BrightnessController controller{backlight, settings, events, restoreState};
};

} // namespace

TEST(BrightnessController, ScalesTheBaseTowardsTheFloor) {
    BrightnessWorld w;
    w.controller.apply(0.75);
    EXPECT_NEAR(w.backlight.level, 0.32f, 1e-6);
    w.controller.apply(1.0);
    EXPECT_NEAR(w.backlight.level, 0.16f, 1e-6);
    EXPECT_FLOAT_EQ(*w.controller.savedLevel(), 0.8f) << "the base is read once per dimming period";
    w.controller.apply(0.0005);
    EXPECT_FLOAT_EQ(w.backlight.level, 0.8f);
    EXPECT_FALSE(w.controller.savedLevel());
    EXPECT_FALSE(w.controller.lastAppliedLevel());
}

TEST(BrightnessController, LogsEveryDimmingWrite) {
    BrightnessWorld w;
    w.controller.apply(0.75);
    w.controller.apply(0.0); // a restore writes no event
    const auto applied = w.events.named("brightness_applied");
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_NEAR(applied[0]["target"].get<double>(), 0.32, 1e-6);
    EXPECT_NEAR(applied[0]["initial"].get<double>(), 0.8, 1e-6);
    EXPECT_TRUE(applied[0]["floor_pct"].is_number_integer());
    EXPECT_EQ(applied[0]["floor_pct"], 20);
    EXPECT_TRUE(applied[0]["darkness_input"].is_number_float());
    EXPECT_DOUBLE_EQ(applied[0]["darkness_input"].get<double>(), 0.75);
}

TEST(BrightnessController, FloorSettingIsClampedTo5Through50) {
    struct Row {
        const char* name;
        int setting;
        float atFullDarkness;
    };
    for (const Row& row : {Row{"seventy acts as fifty", 70, 0.4f}, Row{"zero acts as five", 0, 0.04f},
                           Row{"thirty stays", 30, 0.24f}, Row{"negative acts as five", -10, 0.04f}}) {
        BrightnessWorld w;
        w.settings.writeInt(keys::ambianceBrightnessFloorPct, row.setting);
        w.controller.apply(1.0);
        EXPECT_NEAR(w.backlight.level, row.atFullDarkness, 1e-6) << row.name;
    }
}

TEST(BrightnessController, NeverWritesBelowOneHundredth) {
    BrightnessWorld w;
    w.backlight.level = 0.005f;
    for (double d : {0.001, 0.3, 0.75, 1.0}) {
        w.controller.apply(d);
        EXPECT_FLOAT_EQ(w.backlight.level, 0.01f) << d;
    }
}

TEST(BrightnessController, UnreadableDisplaysGiveSevenTenths) {
    BrightnessWorld w;
    w.backlight.answers = false;
    EXPECT_FLOAT_EQ(w.controller.getBrightness(), 0.7f);
    w.controller.apply(1.0);
    EXPECT_FLOAT_EQ(*w.controller.savedLevel(), 0.7f);
    EXPECT_TRUE(w.backlight.levelWrites.empty()) << "a display nothing was read from is not changed";
    EXPECT_NEAR(w.events.named("brightness_applied").at(0)["target"].get<double>(), 0.14, 1e-6)
        << "logged even when no display took it";
    EXPECT_FALSE(w.restoreState.holds(restore_parts::backlight))
        << "the stand-in is nobody's level to restore";
}

TEST(BrightnessController, EachDisplayIsDimmedAndRestoredFromItsOwnLevel) {
    BrightnessWorld w;
    w.backlight.level = 0.5f;                     // the panel at half
    w.backlight.others = {{"ddc:monitor", 1.0f}}; // a monitor at full
    w.controller.apply(0.75);
    EXPECT_NEAR(w.backlight.level, 0.2f, 1e-6);
    EXPECT_NEAR(*w.backlight.levelOf("ddc:monitor"), 0.4f, 1e-6);
    const auto recorded = w.restoreState.parts["backlight"]["displays"];
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[1]["id"], "ddc:monitor");
    EXPECT_NEAR(recorded[1]["level"].get<double>(), 1.0, 1e-6);

    // A monitor that answers only later (still being detected) is captured before its first change.
    w.backlight.others.push_back({"ddc:late", 0.6f});
    w.controller.apply(0.75);
    EXPECT_NEAR(*w.backlight.levelOf("ddc:late"), 0.24f, 1e-6);
    EXPECT_EQ(w.restoreState.parts["backlight"]["displays"].size(), 3u);

    w.controller.restore();
    EXPECT_FLOAT_EQ(w.backlight.level, 0.5f);
    EXPECT_FLOAT_EQ(*w.backlight.levelOf("ddc:monitor"), 1.0f) << "not the panel's level";
    EXPECT_FLOAT_EQ(*w.backlight.levelOf("ddc:late"), 0.6f);
    EXPECT_FALSE(w.restoreState.holds(restore_parts::backlight));
}

TEST(BrightnessController, ADisplayWhoseLevelCannotBeRecordedIsLeftAlone) {
    BrightnessWorld w;
    w.restoreState.failing = true;
    w.controller.apply(0.75);
    EXPECT_FLOAT_EQ(w.backlight.level, 0.8f);
    EXPECT_TRUE(w.backlight.levelWrites.empty());
    w.restoreState.failing = false; // space again: the next tick dims
    w.controller.apply(0.75);
    EXPECT_NEAR(w.backlight.level, 0.32f, 1e-6);
}

TEST(BrightnessController, DetectOverrideAcceptsAUserChangeOnce) {
    BrightnessWorld w;
    EXPECT_FALSE(w.controller.detectOverride()) << "nothing before any dimming";
    w.controller.apply(0.75);
    w.backlight.level = 0.40f;
    const auto d = w.controller.detectOverride();
    ASSERT_TRUE(d);
    EXPECT_NEAR(*d, 0.625, 1e-6);
    EXPECT_FLOAT_EQ(*w.controller.lastAppliedLevel(), 0.40f);
    EXPECT_FALSE(w.controller.detectOverride()) << "the same change is reported once";
}

TEST(BrightnessController, DetectOverrideIgnoresChangesWithinTolerance) {
    struct Row {
        const char* name;
        float level;
        bool reported;
    };
    for (const Row& row : {Row{"0.03 up", 0.35f, false}, Row{"0.039 down", 0.281f, false},
                           Row{"0.045 up", 0.365f, true}, Row{"to full", 1.0f, true}}) {
        BrightnessWorld w;
        w.controller.apply(0.75); // wrote 0.32
        w.backlight.level = row.level;
        EXPECT_EQ(w.controller.detectOverride().has_value(), row.reported) << row.name;
    }
}

TEST(BrightnessController, PanelsWithFewLevelsReportNoOverrideDuringAnUntouchedFade) {
    // The panel lands every write on its nearest level, so the read-back is up to half a step
    // off what was written: more than 0.04 on a panel with 12 levels or fewer.
    for (long long steps : {7LL, 10LL, 12LL, 15LL, 100LL, 255LL}) {
        BrightnessWorld w;
        w.backlight.steps = steps;
        w.backlight.level = static_cast<float>(steps - 1) / static_cast<float>(steps);
        int overrides = 0;
        for (int tick = 1; tick <= 30; ++tick) {
            w.controller.apply(0.75 * tick / 30.0);
            overrides += w.controller.detectOverride().has_value() ? 1 : 0;
        }
        EXPECT_EQ(overrides, 0) << steps << " levels";

        // The user's key press a quarter up (onto one of the panel's levels) still counts.
        w.backlight.writeLevel(w.backlight.level + 0.25f);
        EXPECT_TRUE(w.controller.detectOverride()) << steps << " levels, a quarter up";
    }
}

TEST(BrightnessController, WithoutAnyDisplayThereIsNoOverride) {
    // Nothing to compare with: the 0.7 stand-in must not read as the user going back to full
    // brightness (darkness 0) after every write.
    BrightnessWorld w;
    w.backlight.answers = false;
    for (double d : {0.1, 0.4, 0.75}) {
        w.controller.apply(d);
        EXPECT_FALSE(w.controller.detectOverride()) << d;
    }
}

TEST(BrightnessController, DetectOverrideClampsItsDarkness) {
    BrightnessWorld w;
    w.controller.apply(0.5);
    w.backlight.level = 1.0f; // brighter than the base
    EXPECT_DOUBLE_EQ(*w.controller.detectOverride(), 0.0);
    w.backlight.level = 0.01f;
    EXPECT_DOUBLE_EQ(*w.controller.detectOverride(), 1.0);
}

TEST(BrightnessController, QuitWritesTheBaseBackOnlyWhenDimmed) {
    BrightnessWorld undimmed;
    undimmed.controller.willTerminate();
    EXPECT_TRUE(undimmed.backlight.writes.empty());

    BrightnessWorld dimmed;
    dimmed.controller.apply(0.6);
    dimmed.controller.willTerminate();
    EXPECT_FLOAT_EQ(dimmed.backlight.writes.back(), 0.8f);
}

TEST(BrightnessController, KeepsTheBaseInTheRestoreStateBeforeTheFirstWrite) {
    struct CheckingBacklight final : Backlight {
        MemoryRestoreState* state = nullptr;
        bool heldAtFirstWrite = false;
        int writes = 0;
        std::optional<float> readLevel() override { return 0.6f; }
        bool writeLevel(float) override { return false; }
        std::vector<DisplayLevel> readLevels() override { return {{"panel", 0.6f}}; }
        std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) override {
            if (writes++ == 0)
                heldAtFirstWrite = state->holds(restore_parts::backlight);
            return {levels.front().id};
        }
    } backlight;
    MemorySettingsStore store;
    Settings settings{store};
    test::RecordingEventSink events;
    MemoryRestoreState state;
    backlight.state = &state;
    BrightnessController controller(backlight, settings, events, state);
    controller.apply(0.5);
    EXPECT_TRUE(backlight.heldAtFirstWrite);
    EXPECT_EQ(state.parts["backlight"]["displays"][0]["id"], "panel");
    EXPECT_NEAR(state.parts["backlight"]["displays"][0]["level"].get<double>(), 0.6, 1e-6);
    controller.restore();
    EXPECT_FALSE(state.holds(restore_parts::backlight));
    controller.restore();
    EXPECT_EQ(backlight.writes, 2) << "a second restore writes nothing";
}
