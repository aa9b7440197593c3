// The orchestration's fade, volume, brightness, alert, wake-sound and restore paths over the
// simulator's fakes. Detection is switched off and a session log opened by hand, so that the
// log shows what the orchestration and the engines wrote; whole sessions with their own logs
// are the scenario tests.

#include "app/sim/SimWorld.h"
#include "core/settings/SettingsKeys.h"
#include "tests/support/SessionLogLines.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

TimePoint at(int hour, int minute) {
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour) + std::chrono::minutes(minute);
}

class SessionTest : public ::testing::Test {
public:
    explicit SessionTest(TimePoint start = at(22, 0)) : world(start, dir.path()) {
        world.audio.outputs[1].volume = 40;
        world.settings.writeString(keys::modeTimerMode, "night");
    }
    /// Launches with detection off and a session log open.
    void launch() {
        world.launch();
        session().setDetectorEnabled(false);
        world.logger.startSession();
    }
    SessionOrchestrator& session() { return world.orchestrator(); }
    SessionEngines& engines() { return world.engines(); }
    void advance(Duration d) { world.scheduler.advance(d); }
    int systemVolume() { return *world.audio.outputs[world.audio.defaultOutput].volume; }
    std::vector<nlohmann::json> records() {
        return test::readLogRecords(test::sessionLogs(dir.path()).front());
    }
    std::vector<std::string> named(const std::vector<std::string>& names) {
        return test::recordsNamed(records(), names);
    }

    test::TempDir dir;
    sim::SimWorld world;
};

} // namespace

TEST_F(SessionTest, StartingANightTimerArmsTheFadeTowardsItsEnd) {
    launch();
    session().startTimer(30);
    world.scheduler.runDue();
    AutoFader& fader = engines().fader;
    EXPECT_TRUE(fader.isActive.get());
    EXPECT_EQ(fader.fadeCurve, FadeCurve::easeInOut);
    EXPECT_EQ(fader.fadeDeadline, engines().timer.endDate.get());
    EXPECT_TRUE(engines().volumeMonitor.active());
    EXPECT_EQ(session().initialVolumeAtSessionStart(), 40);
    EXPECT_EQ(engines().baseline.initialVolume(), 40);
    EXPECT_EQ(
        named({"session_baseline_captured", "autofader_start", "autofader_timer_fade_begin"}),
        (std::vector<std::string>{
            R"({"event":"session_baseline_captured","initial_volume":40})",
            R"({"duration_min":31,"event":"autofader_start","initial_volume":40,"target_volume_pct":35})",
            R"({"ambiance_from":0.0,"ambiance_to":0.8,"event":"autofader_timer_fade_begin","fade_duration_sec":1800,"volume_from":40.0,"volume_to":14.0})"}));

    advance(600s);
    EXPECT_GT(session().ambiance.get(), 0.0);
    EXPECT_EQ(session().lastFaderAmbiance(), session().ambiance.get());
    EXPECT_LT(systemVolume(), 40);
    EXPECT_GT(world.overlay.darkness(), 0.0);
    EXPECT_LT(world.backlight.level, 0.8f);
}

TEST_F(SessionTest, NapFadesEndBeforeTheWakeLeadAndHaveNoDeadline) {
    world.settings.writeString(keys::modeTimerMode, "nap");
    launch();
    struct Row {
        int minutes;
        long long fadeSeconds;
    };
    for (auto row : {Row{30, 1620}, Row{2, 60}}) {
        session().startTimer(row.minutes);
        world.scheduler.runDue();
        EXPECT_EQ(engines().fader.fadeCurve, FadeCurve::easeOut);
        EXPECT_FALSE(engines().fader.fadeDeadline);
        const auto fade = nlohmann::json::parse(named({"autofader_timer_fade_begin"}).back());
        EXPECT_EQ(fade["fade_duration_sec"], row.fadeSeconds) << row.minutes;
        session().cancelSession();
        world.scheduler.runDue();
    }
}

TEST_F(SessionTest, AnExtendMovesTheFadeDeadlineWithTheEndOfTheTimer) {
    launch();
    session().startTimer(30);
    world.scheduler.runDue();
    advance(29min);
    session().extendTimer(20);
    EXPECT_EQ(engines().fader.fadeDeadline, at(22, 50));
    // A sleep signal now gets its full speed-up, not the 30 s the old end date would leave.
    engines().fader.accelerate("phase_asleep");
    EXPECT_EQ(records().back()["new_duration_sec"], 180);
}

TEST_F(SessionTest, PollTakesVolumeChangesOfSixPointsOrMore) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    // Changes the listener does not report (the fake's value changes silently), made after the
    // fade's last write and before the check (checks at 5 s steps, fade writes at 2 s steps).
    advance(9s);
    world.audio.outputs[1].volume = 45;
    advance(1s);
    EXPECT_TRUE(named({"volume_system_override_detected"}).empty()) << "5 points: ignored";
    advance(9s);
    world.audio.outputs[1].volume = 34;
    advance(1s);
    EXPECT_EQ(
        named({"volume_system_override_detected"}),
        std::vector<std::string>{R"({"actual":34,"event":"volume_system_override_detected","via":"poll"})"});
    EXPECT_EQ(session().volume.get(), 34);
    EXPECT_EQ(session().lastFaderVolume(), 34);
    EXPECT_EQ(
        named({"autofader_volume_override_plateau"}),
        std::vector<std::string>{
            R"({"direction":"down","event":"autofader_volume_override_plateau","plateau_sec":0,"source":"system_keys","user_value":34})"});

    // The listener reports a change first; the poll then sees nothing new.
    world.audio.changeVolume(1, 60);
    advance(5s);
    EXPECT_EQ(named({"volume_system_override_detected"}).back(),
              R"({"actual":60,"event":"volume_system_override_detected","via":"coreaudio_listener"})");
    EXPECT_EQ(named({"volume_system_override_detected"}).size(), 2u);
    EXPECT_EQ(systemVolume(), 60) << "the fade leaves the user's volume alone";
}

TEST_F(SessionTest, VolumeChangesAreIgnoredWithoutTheVolumeAutopilotOrSwitch) {
    world.settings.writeBool(keys::ambianceVolumeEnabled, false);
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    world.audio.changeVolume(1, 70);
    advance(10s);
    EXPECT_TRUE(named({"volume_system_override_detected"}).empty());
    EXPECT_EQ(systemVolume(), 70) << "with ambiance.volume_enabled off the fade leaves the volume alone";
}

TEST_F(SessionTest, ABrightnessChangeByTheUserBecomesTheAmbiance) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    advance(300s);
    ASSERT_TRUE(world.brightness.savedLevel());
    ASSERT_FLOAT_EQ(*world.brightness.savedLevel(), 0.8f);
    world.backlight.level = 0.1f; // below the floor (20 % of 0.8): darkness equivalent 1
    advance(2s);
    const auto detected = named({"brightness_system_override_detected"});
    ASSERT_EQ(detected.size(), 1u);
    EXPECT_EQ(
        detected[0],
        R"({"ambiance_equivalent":1.0,"darkness_equivalent":1.0,"event":"brightness_system_override_detected"})");
    EXPECT_EQ(session().ambiance.get(), 1.0);
    EXPECT_DOUBLE_EQ(session().darkness.get(), 0.75);
    EXPECT_TRUE(engines().fader.ambianceResumeAt());
}

TEST_F(SessionTest, ABrightnessChangeBetweenTwoFadeStepsIsNotOverwritten) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    advance(300s);
    const float userLevel = world.brightness.lastAppliedLevel().value() - 0.1f; // a darker screen
    world.backlight.level = userLevel;
    advance(2s); // the next fade step comes before the next check
    EXPECT_EQ(named({"brightness_system_override_detected"}).size(), 1u);
    EXPECT_NEAR(world.backlight.level, userLevel, 1e-4) << "the user's level stays";
    EXPECT_TRUE(engines().fader.ambianceResumeAt());
    advance(60s);
    EXPECT_NEAR(world.backlight.level, userLevel, 1e-4) << "the ambiance pauses";
}

TEST_F(SessionTest, CancelRestoresTheSessionBaselineBeforeTheStopPath) {
    launch();
    session().startTimer(30);
    world.scheduler.runDue();
    advance(10min);
    ASSERT_LT(systemVolume(), 40);
    session().cancelSession();
    EXPECT_EQ(systemVolume(), 40);
    EXPECT_EQ(world.overlay.darkness(), 0.0);
    EXPECT_FALSE(world.brightness.savedLevel());
    EXPECT_EQ(session().ambiance.get(), 0.0);
    EXPECT_TRUE(engines().fader.isActive.get()) << "the stop path runs after the operation";
    world.scheduler.runDue();
    EXPECT_FALSE(engines().fader.isActive.get());
    EXPECT_FALSE(engines().volumeMonitor.active());
    EXPECT_EQ(named({"wake_sound_stop", "baseline_restored", "autofader_stop"}),
              (std::vector<std::string>{
                  R"({"event":"baseline_restored","reason":"user_cancelled_timer","volume":40})",
                  R"({"event":"autofader_stop","reason":"timer_cancelled_or_fired"})"}));
    EXPECT_EQ(session().initialVolumeAtSessionStart(), -1);
    EXPECT_FALSE(engines().baseline.initialVolume());
}

TEST_F(SessionTest, CancellingASessionWithoutTheFadeRestoresNoVolume) {
    launch();
    session().setAutoFadeEnabled(false);
    session().startTimer(30);
    world.scheduler.runDue();
    world.audio.outputs[1].volume = 22;
    session().cancelSession();
    EXPECT_EQ(named({"baseline_restored"}),
              std::vector<std::string>{
                  R"({"event":"baseline_restored","reason":"user_cancelled_timer","volume":-1})"});
    EXPECT_EQ(systemVolume(), 22);
}

TEST_F(SessionTest, NightTimerEndRestoresThenSuspendsHalfASecondLater) {
    launch();
    session().startTimer(2);
    world.scheduler.runDue();
    advance(119s);
    ASSERT_TRUE(engines().alert.isShown());
    ASSERT_LT(systemVolume(), 40);
    advance(1s);
    EXPECT_EQ(systemVolume(), 40);
    EXPECT_FALSE(engines().alert.isShown());
    EXPECT_EQ(world.power.suspendCalls, 0);
    advance(499ms);
    EXPECT_EQ(world.power.suspendCalls, 0);
    advance(1ms);
    EXPECT_EQ(world.power.suspendCalls, 1);
    EXPECT_EQ(named({"timer_fired", "baseline_restored"}),
              (std::vector<std::string>{
                  R"({"event":"timer_fired","mode":"night","will_sleep":true})",
                  R"({"event":"baseline_restored","reason":"timer_fired_before_sleep","volume":40})",
                  R"({"event":"baseline_restored","reason":"before_system_sleep_at_timer_fired"})"}));
    EXPECT_EQ(session().ambiance.get(), 0.0) << "the sliders show the neutral screen";
}

TEST_F(SessionTest, AlertExtendAndSleepNow) {
    launch();
    session().startTimer(2);
    world.scheduler.runDue();
    advance(60s);
    ASSERT_TRUE(engines().alert.isShown());
    engines().alert.extendTapped(20);
    EXPECT_FALSE(engines().alert.isShown());
    EXPECT_EQ(engines().timer.endDate.get(), at(22, 22));
    advance(20min);
    ASSERT_TRUE(engines().alert.isShown()) << "shown again 60 s before the new end";
    engines().alert.sleepNowTapped();
    EXPECT_FALSE(engines().timer.isRunning());
    advance(500ms);
    EXPECT_EQ(world.power.suspendCalls, 1);
    EXPECT_EQ(
        named({"prewarn_shown", "prewarn_extend_clicked", "timer_extended", "prewarn_sleep_now_clicked",
               "timer_fired"}),
        (std::vector<std::string>{R"({"event":"prewarn_shown","remaining_sec":60})",
                                  R"({"event":"prewarn_extend_clicked","minutes":20})",
                                  R"({"event":"timer_extended","extra_minutes":20,"new_remaining_sec":1260})",
                                  R"({"event":"prewarn_shown","remaining_sec":60})",
                                  R"({"event":"prewarn_sleep_now_clicked"})",
                                  R"({"event":"timer_fired","mode":"night","will_sleep":true})"}));
}

TEST_F(SessionTest, NapWakeRampsUpAndPlaysTheSoundAtTheEnd) {
    world.settings.writeString(keys::modeTimerMode, "nap");
    launch();
    session().startTimer(10);
    world.scheduler.runDue();
    advance(7min);
    EXPECT_TRUE(engines().fader.isWaking()) << "the wake ramp begins 180 s before the end";
    EXPECT_FALSE(engines().wakeSound.isPlaying());
    advance(3min - 1s);
    EXPECT_FALSE(engines().wakeSound.isPlaying());
    advance(1s);
    EXPECT_TRUE(engines().wakeSound.isPlaying());
    ASSERT_EQ(world.players.logs.size(), 1u);
    EXPECT_EQ(world.players.logs[0]->file.filename(), "Birds.m4a");
    EXPECT_EQ(world.power.suspendCalls, 0);
}

TEST_F(SessionTest, NapWakeSoundChoicesAndCancel) {
    world.settings.writeString(keys::modeTimerMode, "nap");
    const auto nothing = [](SessionTest&) {};
    struct Row {
        const char* name;
        std::function<void(SessionTest&)> before;     // right after the start
        std::function<void(SessionTest&)> duringLead; // 30 s into the wake lead
        std::size_t playersOpened;
    };
    const std::vector<Row> rows{
        {"cancel before the sound", nothing, [](SessionTest& t) { t.session().cancelSession(); }, 0},
        {"sound none", [](SessionTest& t) { t.world.settings.writeString(keys::modeNapWakeSound, "none"); },
         nothing, 0},
        {"fade disarmed", [](SessionTest& t) { t.session().setAutoFadeEnabled(false); }, nothing, 0},
        {"unknown sound is birds",
         [](SessionTest& t) { t.world.settings.writeString(keys::modeNapWakeSound, "gong"); }, nothing, 1},
    };
    launch();
    for (const auto& row : rows) {
        world.settings.remove(keys::modeNapWakeSound);
        world.players.logs.clear();
        session().startTimer(10);
        world.scheduler.runDue();
        row.before(*this);
        advance(7min + 30s);
        EXPECT_EQ(engines().fader.isWaking(), std::string(row.name) != "fade disarmed") << row.name;
        row.duringLead(*this);
        advance(5min);
        EXPECT_EQ(world.players.logs.size(), row.playersOpened) << row.name;
        if (row.playersOpened) {
            EXPECT_EQ(world.players.logs[0]->file.filename(), "Birds.m4a") << row.name;
        }
        session().cancelSession();
        session().setAutoFadeEnabled(true);
        world.scheduler.runDue();
    }
}

TEST_F(SessionTest, CancellingWhileTheWakeSoundPlaysStopsIt) {
    world.settings.writeString(keys::modeTimerMode, "nap");
    launch();
    session().startTimer(5);
    world.scheduler.runDue();
    advance(5min);
    ASSERT_TRUE(engines().wakeSound.isPlaying());
    session().cancelSession();
    EXPECT_FALSE(engines().wakeSound.isPlaying());
    EXPECT_EQ(named({"wake_sound_stop"}).back(),
              R"({"event":"wake_sound_stop","played_sec":0,"reason":"user_cancelled_timer"})");
}

TEST_F(SessionTest, SliderEchoesAreIgnoredAndUserMovesOverrideTheFade) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    advance(10min);
    const double engineValue = session().ambiance.get();
    session().ambianceSliderMoved(engineValue); // the view echoing the engine
    session().volumeSliderMoved(session().volume.get());
    EXPECT_TRUE(named({"ambiance_changed", "volume_changed"}).empty());

    session().ambianceSliderMoved(0.6);
    EXPECT_TRUE(engines().fader.ambianceResumeAt());
    session().volumeSliderMoved(25.7);
    EXPECT_EQ(systemVolume(), 25);
    const auto look = named({"ambiance_changed", "volume_changed"});
    ASSERT_EQ(look.size(), 2u);
    EXPECT_EQ(nlohmann::json::parse(look[0])["manual"], true);
    EXPECT_EQ(look[1], R"({"event":"volume_changed","manual":true,"volume":25})");

    session().resetAmbiance();
    EXPECT_EQ(world.overlay.darkness(), 0.0);
    session().ambianceSliderMoved(0.0); // the view echoing the reset
    EXPECT_EQ(named({"ambiance_changed"}).size(), 1u);
}

TEST_F(SessionTest, SlidersOutsideASessionSetTheEngineDirectly) {
    launch();
    session().volumeSliderMoved(30);
    EXPECT_EQ(systemVolume(), 30);
    EXPECT_EQ(engines().fader.volume.get(), 30.0);
    EXPECT_EQ(named({"volume_changed"}),
              std::vector<std::string>{R"({"event":"volume_changed","manual":false,"volume":30})"});
    session().ambianceSliderMoved(0.55);
    EXPECT_EQ(engines().fader.ambiance.get(), 0.55);
    EXPECT_DOUBLE_EQ(world.overlay.orangeIntensity(), 0.22);
}

TEST_F(SessionTest, AutoFadeSwitchDisarmsAndRearmsWithAFreshVolume) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    session().setAutoFadeEnabled(false);
    EXPECT_FALSE(engines().fader.isActive.get());
    world.audio.changeVolume(1, 55);
    session().setAutoFadeEnabled(true);
    EXPECT_TRUE(engines().fader.isActive.get());
    EXPECT_EQ(session().initialVolumeAtSessionStart(), 55);
    EXPECT_EQ(engines().baseline.initialVolume(), 40) << "the held baseline is not overwritten";
    EXPECT_EQ(named({"autofader_stop"}),
              std::vector<std::string>{R"({"event":"autofader_stop","reason":"user_disabled"})"});
}

TEST_F(SessionTest, TimersOfNoMinutesOrMoreThanADayAreRefused) {
    launch();
    for (int minutes : {0, -5, 1441}) {
        session().startTimer(minutes);
        session().extendTimer(minutes);
    }
    EXPECT_FALSE(engines().timer.isRunning());
    EXPECT_EQ(world.console.lines.size(), 6u);
}

class WakeTest : public SessionTest {
protected:
    WakeTest() : SessionTest(at(23, 30)) {}
};

TEST_F(WakeTest, WakingAtNightRestoresPartially) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    advance(20min);
    world.audio.changeVolume(1, 12);
    session().systemWillSleep();
    session().systemDidWake();
    EXPECT_EQ(systemVolume(), 26) << "halfway between 12 and the baseline 40";
    EXPECT_EQ(engines().baseline.initialVolume(), 40);
    EXPECT_DOUBLE_EQ(world.overlay.orangeIntensity(), 0.07);
    EXPECT_DOUBLE_EQ(world.overlay.darkness(), 0.3);
    EXPECT_EQ(session().ambiance.get(), 0.0);
    EXPECT_EQ(session().initialVolumeAtSessionStart(), -1);
    EXPECT_EQ(
        named({"system_did_wake", "baseline_restore_contextual", "baseline_restored"}),
        (std::vector<std::string>{
            R"({"event":"system_did_wake"})",
            R"({"day_state":"night","event":"baseline_restore_contextual","lux":-1.0,"reason":"system_did_wake"})"}));
    EXPECT_TRUE(engines().timer.isRunning()) << "sleep and wake leave the timer alone";
}

TEST_F(WakeTest, WakingInDaylightRestoresFully) {
    launch();
    session().startTimer(60);
    world.scheduler.runDue();
    advance(20min);
    world.probes.lux = 300.0;
    session().systemDidWake();
    EXPECT_EQ(systemVolume(), 40);
    EXPECT_EQ(world.overlay.darkness(), 0.0);
    EXPECT_EQ(
        named({"baseline_restore_contextual", "baseline_restored"}),
        (std::vector<std::string>{
            R"({"day_state":"day","event":"baseline_restore_contextual","lux":300.0,"reason":"system_did_wake"})",
            R"({"event":"baseline_restored","reason":"system_did_wake_day","volume":40})"}));
}
