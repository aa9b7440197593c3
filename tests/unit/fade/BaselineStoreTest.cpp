#include "fade/BaselineStore.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakeOverlaySurfaces.h"
#include "platform/fake/RecordingSystemVolume.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/OverlayWorld.h"

#include <gtest/gtest.h>

using namespace mirl;

namespace {

TimePoint at(int hour, int minute) {
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour) + std::chrono::minutes(minute);
}

struct BaselineWorld : test::OverlayWorld<FakeOverlaySurfaces> {
    explicit BaselineWorld(TimePoint now = at(23, 30)) : clock(now) {}
    VirtualScheduler clock;
    FakeActivityProbes probes;
    RecordingSystemVolume volume;
    BaselineStore baseline{
        {overlay, brightness, nightShift, gamma, volume}, probes, clock, events, restoreState};
};

} // namespace

TEST(BaselineStore, CapturesOnlyTheFirstVolume) {
    BaselineWorld w;
    EXPECT_TRUE(w.baseline.captureInitialVolume(40));
    EXPECT_TRUE(w.baseline.captureInitialVolume(12));
    EXPECT_EQ(w.baseline.initialVolume(), 40);
    EXPECT_EQ(w.restoreState.parts["volume"]["percent"], 40);
}

TEST(BaselineStore, FullRestorePutsEverythingBack) {
    BaselineWorld w;
    EXPECT_TRUE(w.baseline.captureInitialVolume(40));
    w.overlay.apply(0.2, 0.7);
    w.volume.volume = 12;
    w.baseline.restore("timer_fired_before_sleep");
    EXPECT_TRUE(w.surfaces.shown().empty());
    EXPECT_FLOAT_EQ(w.backlight.level, 0.8f);
    EXPECT_FALSE(w.light.enabled);
    EXPECT_EQ(w.ramps.brightness, 1.0);
    ASSERT_EQ(w.volume.writes.size(), 1u);
    EXPECT_EQ(w.volume.writes[0].percent, 40);
    EXPECT_EQ(w.volume.writes[0].source, "baseline_restore");
    EXPECT_FALSE(w.volume.writes[0].initial);
    EXPECT_FALSE(w.volume.writes[0].target);
    EXPECT_EQ(w.events.named("baseline_restored").back(),
              (nlohmann::json{{"reason", "timer_fired_before_sleep"}, {"volume", 40}}));
    EXPECT_FALSE(w.baseline.initialVolume());
    EXPECT_TRUE(w.restoreState.parts.empty()) << "nothing left to repair after a crash";
}

TEST(BaselineStore, RestoreWithoutCaptureLogsMinusOne) {
    BaselineWorld w;
    w.baseline.restore("user_cancelled_timer");
    EXPECT_TRUE(w.volume.writes.empty());
    EXPECT_EQ(w.events.named("baseline_restored").back()["volume"], -1);
}

TEST(BaselineStore, NightWakeRestoresPartially) {
    struct Row {
        const char* name;
        int current, baseline, expected;
    };
    for (const Row& row : {Row{"even sum", 12, 40, 26}, Row{"odd sum rounds down", 13, 40, 26},
                           Row{"louder now", 60, 41, 50}}) {
        BaselineWorld w(at(23, 30)); // no light sensor: the clock says night
        EXPECT_TRUE(w.baseline.captureInitialVolume(row.baseline));
        w.volume.volume = row.current;
        w.baseline.restoreContextual("system_did_wake");
        ASSERT_EQ(w.volume.writes.size(), 1u) << row.name;
        EXPECT_EQ(w.volume.writes[0].percent, row.expected) << row.name;
        EXPECT_EQ(w.volume.writes[0].source, "baseline_restore_partial_night") << row.name;
        EXPECT_EQ(w.baseline.initialVolume(), row.baseline) << row.name << ": the baseline stays held";
        EXPECT_TRUE(w.events.named("baseline_restored").empty()) << row.name;
        EXPECT_EQ(w.events.named("baseline_restore_contextual").at(0),
                  (nlohmann::json{{"reason", "system_did_wake"}, {"day_state", "night"}, {"lux", -1.0}}))
            << row.name;
        auto shown = w.surfaces.shown();
        ASSERT_EQ(shown.size(), 1u) << row.name;
        EXPECT_FLOAT_EQ(shown[0]->orange, 0.07f);
        EXPECT_FLOAT_EQ(shown[0]->dark, 0.3f);
        EXPECT_NEAR(w.backlight.level, (1 - 0.3 * 0.8) * 0.8, 1e-6) << row.name;
    }
}

TEST(BaselineStore, NightWakeWithoutBaselineLeavesTheVolume) {
    BaselineWorld w;
    w.baseline.restoreContextual("system_did_wake");
    EXPECT_TRUE(w.volume.writes.empty());
}

TEST(BaselineStore, DaylightWakeRestoresFully) {
    BaselineWorld w(at(23, 30));
    w.probes.lux = 120.0;
    EXPECT_TRUE(w.baseline.captureInitialVolume(40));
    w.overlay.apply(0.2, 0.7);
    w.baseline.restoreContextual("system_did_wake");
    EXPECT_EQ(w.events.names(), (std::vector<std::string>{"brightness_applied", "baseline_restore_contextual",
                                                          "baseline_restored"}));
    EXPECT_EQ(w.events.named("baseline_restore_contextual")[0]["day_state"], "day");
    EXPECT_DOUBLE_EQ(w.events.named("baseline_restore_contextual")[0]["lux"].get<double>(), 120.0);
    EXPECT_EQ(w.events.named("baseline_restored")[0]["reason"], "system_did_wake_day");
    EXPECT_EQ(w.volume.volume, 40);
    EXPECT_TRUE(w.surfaces.shown().empty());
    EXPECT_FALSE(w.baseline.initialVolume());
}

TEST(BaselineStore, AVolumeTheSoundServerCouldNotTakeIsSetWhenItReturns) {
    BaselineWorld w;
    EXPECT_TRUE(w.baseline.captureInitialVolume(40));
    w.volume.volume = 12;
    w.volume.setServerUp(false);
    w.baseline.restore("timer_fired_before_sleep");
    EXPECT_EQ(w.volume.volume, 12);
    EXPECT_EQ(w.baseline.pendingVolume(), 40);
    EXPECT_EQ(w.restoreState.parts["volume"]["percent"], 40) << "still recorded for a crash";
    EXPECT_EQ(w.events.named("baseline_volume_pending").back(), (nlohmann::json{{"volume", 40}}));

    w.volume.setServerUp(true);
    EXPECT_EQ(w.volume.volume, 40);
    EXPECT_EQ(w.volume.writes.back().source, "baseline_restore");
    EXPECT_FALSE(w.baseline.pendingVolume());
    EXPECT_FALSE(w.restoreState.holds(restore_parts::volume));
    const auto writes = w.volume.writes.size();
    w.volume.setServerUp(true);
    EXPECT_EQ(w.volume.writes.size(), writes) << "put back once";
}

TEST(BaselineStore, ASessionStartedMeanwhileTakesThePendingVolumeAsItsBaseline) {
    BaselineWorld w;
    EXPECT_TRUE(w.baseline.captureInitialVolume(40));
    w.volume.setServerUp(false);
    w.baseline.restore("timer_fired_before_sleep");
    EXPECT_TRUE(w.baseline.captureInitialVolume(50)) << "50: the stand-in read while the server is away";
    EXPECT_EQ(w.baseline.initialVolume(), 40);
    w.volume.setServerUp(true);
    EXPECT_NE(w.volume.volume, 40) << "not in the middle of the session";
    w.baseline.restore("user_cancelled_timer");
    EXPECT_EQ(w.volume.volume, 40);
    EXPECT_TRUE(w.restoreState.parts.empty());
}

TEST(BaselineStore, ABaselineThatCannotBeRecordedIsReported) {
    BaselineWorld w;
    w.restoreState.failing = true;
    EXPECT_FALSE(w.baseline.captureInitialVolume(40)) << "the caller must leave the volume alone";
    EXPECT_EQ(w.baseline.initialVolume(), 40) << "held all the same, so the normal restore puts it back";
}
