// The fade engine's sessions on virtual time: start and stop, the tick, each kind of leg with
// its duration rule and targets, and the events they write.

#include "tests/unit/fade/FaderTestFixture.h"

#include <functional>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

TEST_F(FaderTest, StartArmsTheSessionAndTicksEveryTwoSeconds) {
    settings.writeInt(keys::ambianceVolumeFloorPct, 120);
    fader.start(45, 62);
    EXPECT_TRUE(fader.isActive.get());
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_EQ(fader.volume.get(), 62);
    EXPECT_EQ(fader.initialVolume(), 62);
    EXPECT_EQ(fader.ambiance.get(), 0);
    const auto start = events.named("autofader_start");
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0],
              (EventPayload{{"duration_min", 45}, {"initial_volume", 62}, {"target_volume_pct", 80}}));
    EXPECT_TRUE(start[0]["target_volume_pct"].is_number_integer());

    fader.beginTimerFade(600, 0.8);
    advance(1999ms);
    EXPECT_TRUE(ambianceSent.empty()) << "no tick before 2 s, and start calls no callback";
    advance(1ms);
    EXPECT_EQ(ambianceSent.size(), 1u);
    EXPECT_EQ(volumeSent.size(), 1u);
    advance(10s);
    EXPECT_EQ(ambianceSent.size(), 6u);

    // A second start replaces the tick instead of adding one.
    const auto pending = scheduler.pendingCount();
    fader.start(45, 62);
    EXPECT_EQ(scheduler.pendingCount(), pending);
}

TEST_F(FaderTest, TimerFadeFollowsTheCurveAndHoldsItsEndValue) {
    fader.fadeCurve = FadeCurve::easeInOut;
    arm(30, 40);
    fader.beginTimerFade(1800, 0.8);
    const auto begin = events.named("autofader_timer_fade_begin");
    ASSERT_EQ(begin.size(), 1u);
    EXPECT_EQ(begin[0], (EventPayload{{"fade_duration_sec", 1800},
                                      {"ambiance_from", 0.0},
                                      {"ambiance_to", 0.8},
                                      {"volume_from", 40.0},
                                      {"volume_to", 14.0}}));
    EXPECT_TRUE(begin[0]["volume_from"].is_number_float());

    advanceTo(at(22, 15));
    EXPECT_DOUBLE_EQ(fader.ambiance.get(), 0.4);
    EXPECT_DOUBLE_EQ(fader.volume.get(), 27);
    EXPECT_EQ(lastVolume(), 27);

    // The curve is read at every evaluation: switching it bends the running legs.
    fader.fadeCurve = FadeCurve::easeOut;
    advance(2s);
    EXPECT_NEAR(fader.ambiance.get(), 0.8 * (1 - std::pow(1 - 902.0 / 1800, 1.6)), 1e-12);

    advanceTo(at(22, 30));
    EXPECT_DOUBLE_EQ(lastAmbiance(), 0.8);
    EXPECT_EQ(lastVolume(), 14);
    const auto sent = ambianceSent.size();
    advance(10s);
    EXPECT_EQ(ambianceSent.size(), sent + 5) << "a finished leg keeps sending its end value";
    EXPECT_DOUBLE_EQ(lastAmbiance(), 0.8);
    EXPECT_TRUE(fader.isFading.get());
}

TEST_F(FaderTest, VolumeHandedOnRoundedHalfAwayFromZero) {
    struct Row {
        int floorPct, initial, expected;
    };
    // 69 × 50 % = 34.5 and 43 × 80 % = 34.4
    for (auto row : {Row{50, 69, 35}, Row{80, 43, 34}}) {
        settings.writeInt(keys::ambianceVolumeFloorPct, row.floorPct);
        arm(30, row.initial);
        fader.beginTimerFade(60, 0.8);
        advance(60s);
        EXPECT_EQ(lastVolume(), row.expected) << row.initial;
        fader.stop("timer_cancelled_or_fired");
    }
}

TEST_F(FaderTest, TimerFadeTargetsAndAutopilotFlags) {
    arm(30, 40);
    fader.beginTimerFade(600, 1.3);
    EXPECT_DOUBLE_EQ(fader.ambianceLeg()->endValue, 1.0) << "the ambiance target is capped at 1";
    EXPECT_DOUBLE_EQ(fader.currentAmbianceTarget(), 1.0);

    settings.writeInt(keys::ambianceVolumeFloorPct, 0);
    arm(30, 40);
    fader.beginTimerFade(600, 0.8);
    EXPECT_DOUBLE_EQ(fader.volumeLeg()->endValue, 0) << "a floor of 0 fades to silence";

    arm(30, 40);
    fader.setAmbianceAutopilot(false);
    fader.setVolumeAutopilot(false);
    events.clear();
    fader.beginTimerFade(600, 0.8);
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_FALSE(fader.volumeLeg());
    EXPECT_TRUE(fader.isFading.get()) << "fading even with nothing to move";
    EXPECT_EQ(events.named("autofader_timer_fade_begin").size(), 1u);
    advance(20s);
    EXPECT_TRUE(ambianceSent.empty());
    EXPECT_TRUE(volumeSent.empty());
}

// Every kind of leg with its duration rule, without a deadline, with one ahead and with one
// that has passed. The logged duration is the leg's, in whole seconds.
TEST_F(FaderTest, DurationRuleOfEachLegKind) {
    struct Row {
        const char* name;
        std::optional<double> deadlineIn; // seconds from 22:00
        std::function<void(AutoFader&)> begin;
        const char* event;
        const char* key;
        double expected;
    };
    const auto timer = [](double d) { return [d](AutoFader& f) { f.beginTimerFade(d, 0.8); }; };
    const auto idle = [](double d) { return [d](AutoFader& f) { f.beginIdleFade(d); }; };
    const auto sleep = [](std::optional<double> d) {
        return [d](AutoFader& f) { f.accelerate("phase_asleep", d); };
    };
    const auto speedUp = [](std::optional<double> d) {
        return [d](AutoFader& f) {
            f.beginTimerFade(3600, 0.8);
            f.accelerate("breath_regularity", d);
        };
    };
    const auto wake = [](double d) { return [d](AutoFader& f) { f.beginWake(d); }; };
    const char* kTimer = "autofader_timer_fade_begin";
    const char* kFade = "autofader_fade_begin";
    const char* kAcc = "autofader_accelerated";
    const char* kWake = "autofader_wake_begin";
    const Row rows[] = {
        {"timer: raised to 60 s", std::nullopt, timer(10), kTimer, "fade_duration_sec", 60},
        {"timer: as given", std::nullopt, timer(1800), kTimer, "fade_duration_sec", 1800},
        {"timer: clamped to the deadline", 600, timer(1800), kTimer, "fade_duration_sec", 600},
        {"timer: deadline passed", -60, timer(1800), kTimer, "fade_duration_sec", 30},
        {"idle: the minimum duration wins", std::nullopt, idle(120), kFade, "fade_duration_sec", 540},
        {"idle: 10 minutes left of a night", 600, idle(600), kFade, "fade_duration_sec", 600},
        {"idle: deadline passed", -1, idle(600), kFade, "fade_duration_sec", 30},
        {"sleep fade: minimum duration", std::nullopt, sleep(std::nullopt), kFade, "fade_duration_sec", 540},
        {"sleep fade: longer given", std::nullopt, sleep(900), kFade, "fade_duration_sec", 900},
        {"sleep fade: deadline", 300, sleep(std::nullopt), kFade, "fade_duration_sec", 300},
        {"sleep fade: deadline passed", -300, sleep(std::nullopt), kFade, "fade_duration_sec", 30},
        {"speed-up: the setting", std::nullopt, speedUp(std::nullopt), kAcc, "new_duration_sec", 180},
        {"speed-up: raised to 60 s", std::nullopt, speedUp(20), kAcc, "new_duration_sec", 60},
        {"speed-up: deadline further away", 600, speedUp(std::nullopt), kAcc, "new_duration_sec", 180},
        {"speed-up: deadline passed", -5, speedUp(std::nullopt), kAcc, "new_duration_sec", 30},
        {"wake: raised to 30 s", std::nullopt, wake(10), kWake, "wake_duration_sec", 30},
        {"wake: the deadline does not apply", -600, wake(180), kWake, "wake_duration_sec", 180},
        {"timer: a fraction is cut in the log", 599.7, timer(1800), kTimer, "fade_duration_sec", 599.7},
    };
    for (const auto& row : rows) {
        VirtualScheduler sched(at(22, 0));
        RecordingEventSink log;
        AutoFader f(sched, sched, settings, log, probes);
        if (row.deadlineIn)
            f.fadeDeadline = addSeconds(at(22, 0), *row.deadlineIn);
        f.start(30, 40);
        row.begin(f);
        ASSERT_TRUE(f.ambianceLeg()) << row.name;
        EXPECT_DOUBLE_EQ(f.ambianceLeg()->durationSeconds, row.expected) << row.name;
        EXPECT_EQ(f.ambianceLeg()->startDate, at(22, 0)) << row.name;
        const auto logged = log.named(row.event);
        ASSERT_FALSE(logged.empty()) << row.name;
        EXPECT_TRUE(logged.back()[row.key].is_number_integer()) << row.name;
        EXPECT_EQ(logged.back()[row.key].get<long long>(), static_cast<long long>(row.expected)) << row.name;
    }
}

TEST_F(FaderTest, IdleFadeMovesOnlyTheAmbianceAndOnlyWhenNoFadeRuns) {
    arm(30, 40);
    fader.beginIdleFade(600);
    EXPECT_DOUBLE_EQ(fader.ambianceLeg()->endValue, 0.5);
    EXPECT_DOUBLE_EQ(fader.currentAmbianceTarget(), 0.5);
    EXPECT_FALSE(fader.volumeLeg());
    EXPECT_EQ(events.named("autofader_fade_begin")[0], (EventPayload{{"source", "user_idle"},
                                                                     {"fade_duration_sec", 600},
                                                                     {"ambiance_from", 0.0},
                                                                     {"ambiance_to", 0.5},
                                                                     {"volume_touched", false}}));
    advance(300s);
    EXPECT_TRUE(volumeSent.empty());
    EXPECT_GT(lastAmbiance(), 0.25);

    // While fading, a second idle fade does nothing at all.
    const auto leg = *fader.ambianceLeg();
    events.clear();
    fader.beginIdleFade(600);
    EXPECT_EQ(*fader.ambianceLeg(), leg);
    EXPECT_TRUE(events.events().empty());

    // An idle fade after a timer fade drops the timer fade's volume leg.
    arm(30, 40);
    fader.beginTimerFade(1800, 0.8);
    fader.cancelFadeForActivity();
    fader.beginIdleFade(600);
    EXPECT_FALSE(fader.volumeLeg());
}

TEST_F(FaderTest, AccelerateBeginsASleepFadeOrSpeedsUpTheRunningOne) {
    arm(30, 40);
    fader.accelerate("phase_asleep");
    EXPECT_EQ(events.named("autofader_fade_begin")[0], (EventPayload{{"source", "phase_asleep"},
                                                                     {"fade_duration_sec", 540},
                                                                     {"ambiance_from", 0.0},
                                                                     {"ambiance_to", 1.0},
                                                                     {"volume_from", 40.0},
                                                                     {"volume_to", 14.0}}));
    EXPECT_DOUBLE_EQ(fader.volumeLeg()->endValue, 14);
    EXPECT_TRUE(fader.isFading.get());

    advance(270s);
    const double ambianceNow = fader.ambiance.get();
    fader.accelerate("breathband_asleep");
    const auto acc = events.named("autofader_accelerated");
    ASSERT_EQ(acc.size(), 1u);
    EXPECT_EQ(acc[0], (EventPayload{{"source", "breathband_asleep"},
                                    {"new_duration_sec", 180},
                                    {"ambiance_now", ambianceNow},
                                    {"volume_now", fader.volume.get()}}));
    EXPECT_EQ(fader.ambianceLeg()->startValue, ambianceNow);
    EXPECT_EQ(fader.ambianceLeg()->startDate, scheduler.now());
    advance(180s);
    EXPECT_DOUBLE_EQ(lastAmbiance(), 1.0);
    EXPECT_EQ(lastVolume(), 14);

    // A speed-up leaves a channel without autopilot alone, and reads "fade.accelerate_to_sec".
    arm(30, 40);
    fader.beginTimerFade(1800, 0.8);
    fader.setVolumeAutopilot(false);
    const auto volumeLeg = *fader.volumeLeg();
    settings.writeInt(keys::fadeAccelerateToSec, 240);
    fader.accelerate("phase_deep_asleep");
    EXPECT_EQ(*fader.volumeLeg(), volumeLeg);
    EXPECT_DOUBLE_EQ(fader.ambianceLeg()->durationSeconds, 240);
    fader.setVolumeAutopilot(true);
}

TEST_F(FaderTest, DisabledAcceleratorsAreLoggedAndChangeNothing) {
    settings.writeBool(keys::fadeAcceleratorsEnabled, false);
    arm(30, 40);
    fader.accelerate("phase_asleep");
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_FALSE(fader.ambianceLeg());
    ASSERT_EQ(events.events().size(), 1u);
    EXPECT_EQ(events.events()[0].name, "autofader_accelerate_skipped");
    EXPECT_EQ(events.events()[0].payload,
              (EventPayload{{"reason", "phase_asleep"}, {"cause", "accelerators_disabled_pref"}}));
}

TEST_F(FaderTest, WakeRampsBothChannelsBackAndEndsPauses) {
    arm(20, 40);
    fader.beginTimerFade(1020, 0.8);
    advanceTo(at(22, 10));
    fader.userOverrodeAmbiance("slider", 0.3);
    fader.setVolumeAutopilot(false);
    const double frozenVolume = fader.volume.get();
    ASSERT_TRUE(fader.ambianceResumeAt());
    events.clear();

    fader.beginWake(180);
    EXPECT_TRUE(fader.isWaking());
    EXPECT_EQ(fader.currentAmbianceTarget(), 0);
    EXPECT_FALSE(fader.ambianceResumeAt()) << "the wake ends a running pause";
    EXPECT_EQ(events.named("autofader_wake_begin")[0], (EventPayload{{"wake_duration_sec", 180},
                                                                     {"ambiance_from", 0.3},
                                                                     {"volume_from", frozenVolume},
                                                                     {"volume_to", 40.0}}));
    advance(180s);
    EXPECT_DOUBLE_EQ(lastAmbiance(), 0.0);
    EXPECT_DOUBLE_EQ(fader.volume.get(), frozenVolume) << "a channel without autopilot keeps its value";
    fader.setVolumeAutopilot(true);
    advance(2s);
    EXPECT_EQ(lastVolume(), 40);
}

TEST_F(FaderTest, ActivityCancelsTheFadeButKeepsTheValues) {
    arm(30, 40);
    fader.cancelFadeForActivity();
    EXPECT_TRUE(events.events().empty()) << "nothing to cancel, nothing logged";

    fader.beginTimerFade(1800, 0.8);
    advance(600s);
    const double a = fader.ambiance.get();
    const auto sent = ambianceSent.size();
    events.clear();
    fader.cancelFadeForActivity();
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_FALSE(fader.volumeLeg());
    ASSERT_EQ(events.events().size(), 1u);
    EXPECT_EQ(events.events()[0].name, "autofader_fade_cancelled_by_activity");
    EXPECT_EQ(events.events()[0].payload, EventPayload::object());
    advance(60s);
    EXPECT_EQ(fader.ambiance.get(), a);
    EXPECT_EQ(ambianceSent.size(), sent) << "a channel without a leg sends nothing";
    EXPECT_DOUBLE_EQ(fader.currentAmbianceTarget(), 0.8);
}

TEST_F(FaderTest, OperationsOutsideASessionDoNothing) {
    fader.beginTimerFade(600, 0.8);
    fader.beginIdleFade(600);
    fader.accelerate("phase_asleep");
    fader.beginWake(60);
    fader.stop("user_disabled");
    fader.tick();
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_TRUE(events.events().empty());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(FaderTest, StopThenStartGivesACleanSessionExceptTheAutopilotFlags) {
    arm(30, 40);
    fader.beginTimerFade(1800, 0.8);
    advanceTo(at(22, 10));
    fader.userOverrodeAmbiance("slider", 0.2);
    advanceTo(at(22, 15)); // the pause ends with a resume leg
    fader.userOverrodeVolume("system_keys", 45);
    fader.setAmbianceAutopilot(false);
    const double a = fader.ambiance.get();
    events.clear();

    fader.stop("timer_cancelled_or_fired");
    EXPECT_FALSE(fader.isActive.get());
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_FALSE(fader.isTicking());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_EQ(events.named("autofader_stop")[0], (EventPayload{{"reason", "timer_cancelled_or_fired"}}));
    EXPECT_EQ(fader.ambiance.get(), a) << "stop leaves the published values";
    EXPECT_TRUE(fader.volumeResumeAt()) << "stop leaves the pause times for start to clear";
    const auto sent = ambianceSent.size();
    advance(60s);
    EXPECT_EQ(ambianceSent.size(), sent);

    fader.start(20, 55);
    EXPECT_EQ(fader.ambiance.get(), 0);
    EXPECT_EQ(fader.volume.get(), 55);
    EXPECT_EQ(fader.initialVolume(), 55);
    EXPECT_FALSE(fader.volumeResumeAt());
    EXPECT_FALSE(fader.volumeResumeNeedsIdle());
    EXPECT_DOUBLE_EQ(fader.currentAmbianceTarget(), 0.8);
    EXPECT_FALSE(fader.ambianceAutopilot.get()) << "the autopilot flags survive stop and start";
    fader.setAmbianceAutopilot(true);
    // The previous session's override and resume do not count towards escalation in this one.
    fader.beginTimerFade(600, 0.8);
    fader.userOverrodeAmbiance("slider", 0.1);
    EXPECT_TRUE(fader.ambianceAutopilot.get());
    EXPECT_TRUE(fader.ambianceResumeAt());
}

TEST_F(FaderTest, DestroyingTheEngineStopsItsTick) {
    {
        AutoFader f(scheduler, scheduler, settings, events, probes);
        f.start(30, 40);
        EXPECT_EQ(scheduler.pendingCount(), 1u);
    }
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    advance(10s); // nothing left to run on a dead engine
}

TEST_F(FaderTest, PublishedValuesNotifyObservers) {
    std::vector<bool> fading;
    std::vector<double> volumes;
    auto h1 = fader.isFading.subscribe([&](const bool& f) { fading.push_back(f); });
    auto h2 = fader.volume.subscribe([&](const double& v) { volumes.push_back(v); });
    arm(30, 40);
    fader.beginTimerFade(60, 0.8);
    advance(60s);
    fader.cancelFadeForActivity();
    EXPECT_EQ(fading, (std::vector<bool>{true, false}));
    EXPECT_EQ(volumes.front(), 40);
    EXPECT_DOUBLE_EQ(volumes.back(), 14);
}
