// A change made in the window reaches a running session at its next decision: the session's
// engines over the simulator's fakes on virtual time, and the window over the same settings.

#include "app/sim/SimWorld.h"
#include "core/settings/SettingsKeys.h"
#include "tests/support/OffscreenWidgets.h"
#include "tests/support/SessionLogLines.h"
#include "tests/support/TestPaths.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/FadeTab.h"
#include "ui/prefs/PreferencesView.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

TEST(PreferencesSession, AnIdleThresholdLoweredMidSessionStartsTheFadeAtTheNextCheck) {
    test::ensureOffscreenWidgets();
    test::TempDir dir;
    const TimePoint start = TimePoint{} +
                            std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
                            std::chrono::hours(22);
    sim::SimWorld world(start, dir.path());
    world.settings.writeString(keys::modeTimerMode, "night");
    world.probes.lastInput = start; // nobody touches anything from 22:00 on
    world.launch();
    world.orchestrator().setDetectorEnabled(false);
    world.logger.startSession();
    world.orchestrator().startTimer(60);
    world.scheduler.runDue();

    PreferencesView window({.settings = world.settings, .dataFolder = {}, .openUrl = {}});
    auto logged = [&](const std::string& event) {
        return test::recordsNamed(test::readLogRecords(test::sessionLogs(dir.path()).front()), {event});
    };
    // A touch at 99 s cancels the session's fade at the check of 100 s; from then on the user
    // stays idle.
    world.scheduler.advance(99s);
    world.probes.lastInput = world.scheduler.now();
    world.scheduler.advance(6s);
    ASSERT_EQ(logged("autofader_reset_by_user_activity").size(), 1u);
    world.scheduler.advance(415s); // 520 s: idle for 421 s, the cooldown (300 s) is over
    EXPECT_TRUE(logged("autofader_triggered_by_idle").empty()) << "7 minutes idle is below the default 10";

    window.fadeTab()->idleThreshold()->moveTo(300);
    ASSERT_EQ(world.settings.readInt(keys::fadeIdleThresholdSec, 600), 300);
    world.scheduler.advance(5s); // the inactivity check runs every 5 s
    const auto triggers = logged("autofader_triggered_by_idle");
    ASSERT_EQ(triggers.size(), 1u);
    const auto record = nlohmann::json::parse(triggers[0]);
    EXPECT_GE(record["idle_sec"].get<double>(), 421.0);
    EXPECT_LE(record["idle_sec"].get<double>(), 426.0);
}
