#include "core/timer/SleepTimerModel.h"
#include "core/settings/SettingsKeys.h"
#include "platform/fake/FakePower.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <limits>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

TimePoint at(int hour, int minute) {
    // 2026-12-05 in UTC (the test main's zone).
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour) + std::chrono::minutes(minute);
}

class TimerTest : public ::testing::Test {
protected:
    explicit TimerTest(TimePoint start = at(22, 0)) : scheduler(start) {}

    VirtualScheduler scheduler;
    MemorySettingsStore store;
    Settings settings{store};
    test::RecordingEventSink events;
    FakePower power;
    RecordingConsole console;
    SleepTimerModel timer{scheduler, scheduler, settings, events, power, console};
};

} // namespace

TEST_F(TimerTest, AutoModeFollowsTheConfiguredHours) {
    struct Row {
        int hour, minute;
        MirlMode expected;
    };
    for (auto row : {Row{10, 59, MirlMode::night}, Row{11, 0, MirlMode::nap}, Row{18, 59, MirlMode::nap},
                     Row{19, 0, MirlMode::night}, Row{0, 0, MirlMode::night}})
        EXPECT_EQ(timer.resolveMode(at(row.hour, row.minute), MirlMode::automatic), row.expected)
            << row.hour << ":" << row.minute;
    EXPECT_EQ(timer.resolveMode(at(14, 0), MirlMode::night), MirlMode::night);
    EXPECT_EQ(timer.resolveMode(at(2, 0), MirlMode::nap), MirlMode::nap);

    settings.writeInt(keys::modeAutoDayStartHour, 8);
    settings.writeInt(keys::modeAutoNightStartHour, 9);
    EXPECT_EQ(timer.resolveMode(at(8, 30), MirlMode::automatic), MirlMode::nap);
    EXPECT_EQ(timer.resolveMode(at(9, 0), MirlMode::automatic), MirlMode::night);
    settings.writeInt(keys::modeAutoDayStartHour, 19);
    settings.writeInt(keys::modeAutoNightStartHour, 11);
    for (int h = 0; h < 24; ++h)
        EXPECT_EQ(timer.resolveMode(at(h, 0), MirlMode::automatic), MirlMode::night) << h;
}

TEST_F(TimerTest, StoredModeTextIsMatchedExactly) {
    for (const char* text : {"Night", "NAP", "sleep", ""}) {
        settings.writeString(keys::modeTimerMode, text);
        timer.start(30); // at 22:00 auto resolves to night
        EXPECT_EQ(timer.mode(), MirlMode::night) << text;
    }
    scheduler.advanceTo(at(12, 0) + 24h);
    settings.writeString(keys::modeTimerMode, "Nap");
    timer.start(30);
    EXPECT_EQ(timer.mode(), MirlMode::nap);
    settings.writeString(keys::modeTimerMode, "night");
    timer.start(30);
    EXPECT_EQ(timer.mode(), MirlMode::night);
}

TEST_F(TimerTest, PrewarnFiresOnceWhenTheLeadIsReached) {
    std::vector<double> warned;
    timer.onShouldWarn = [&](double left) { warned.push_back(left); };
    timer.start(2);
    scheduler.advance(59s);
    EXPECT_TRUE(warned.empty());
    scheduler.advance(1s);
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_DOUBLE_EQ(warned[0], 60.0);
    auto prewarn = events.named("timer_prewarn");
    ASSERT_EQ(prewarn.size(), 1u);
    EXPECT_EQ(prewarn[0], (EventPayload{{"remaining_sec", 60}, {"lead_sec", 60}}));
    scheduler.advance(30s);
    EXPECT_EQ(warned.size(), 1u);
}

TEST_F(TimerTest, TimerNotLongerThanTheLeadNeverWarns) {
    int warned = 0;
    timer.onShouldWarn = [&](double) { ++warned; };
    timer.start(1);
    scheduler.advance(61s);
    EXPECT_EQ(warned, 0);
    EXPECT_TRUE(events.named("timer_prewarn").empty());
    EXPECT_FALSE(timer.isRunning());
}

TEST_F(TimerTest, DisabledPrewarnStillSleepsAtTheEnd) {
    settings.writeBool(keys::systemPrewarnEnabled, false);
    int warned = 0;
    timer.onShouldWarn = [&](double) { ++warned; };
    timer.start(5);
    scheduler.advance(301s);
    EXPECT_EQ(warned, 0);
    EXPECT_TRUE(events.named("timer_prewarn").empty());
    EXPECT_EQ(power.suspendCalls, 1);
}

TEST_F(TimerTest, ExtendAfterTheAlertRearmsIt) {
    int warned = 0;
    timer.onShouldWarn = [&](double) { ++warned; };
    timer.start(3);
    scheduler.advance(130s); // warned at 120 s (60 s left)
    EXPECT_EQ(warned, 1);
    timer.extend(10);
    auto ext = events.named("timer_extended");
    ASSERT_EQ(ext.size(), 1u);
    EXPECT_EQ(ext[0], (EventPayload{{"extra_minutes", 10}, {"new_remaining_sec", 650}}));
    EXPECT_DOUBLE_EQ(timer.totalDuration.get(), 780.0);
    scheduler.advance(589s);
    EXPECT_EQ(warned, 1);
    scheduler.advance(1s);
    EXPECT_EQ(warned, 2);
}

TEST_F(TimerTest, ExtendWhileIdleStartsAFreshTimer) {
    timer.extend(20);
    EXPECT_TRUE(timer.isRunning());
    EXPECT_DOUBLE_EQ(timer.remaining(), 1200.0);
    EXPECT_EQ(timer.mode(), MirlMode::night);
    EXPECT_TRUE(events.named("timer_extended").empty());
}

TEST_F(TimerTest, NightFireOrderAndDelayedSleep) {
    std::vector<std::string> order;
    timer.onBeforeSystemSleep = [&] {
        EXPECT_FALSE(timer.isRunning());
        order.push_back("callback after " + events.names().back());
    };
    timer.start(2);
    scheduler.advance(119s);
    EXPECT_TRUE(timer.isRunning());
    scheduler.advance(1s);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(events.names(),
              (std::vector<std::string>{"timer_prewarn", "timer_fired", "baseline_restored"}));
    EXPECT_EQ(order, std::vector<std::string>{"callback after timer_fired"});
    EXPECT_EQ(events.named("timer_fired")[0], (EventPayload{{"will_sleep", true}, {"mode", "night"}}));
    EXPECT_EQ(events.named("baseline_restored")[0],
              (EventPayload{{"reason", "before_system_sleep_at_timer_fired"}}));
    scheduler.advance(499ms);
    EXPECT_EQ(power.suspendCalls, 0);
    scheduler.advance(1ms);
    EXPECT_EQ(power.suspendCalls, 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(TimerTest, SleepCommandRunsEvenIfANewTimerStartsMeanwhile) {
    timer.start(1);
    scheduler.advance(60s);
    timer.start(30);
    scheduler.advance(1s);
    EXPECT_EQ(power.suspendCalls, 1);
    EXPECT_TRUE(timer.isRunning());
}

TEST_F(TimerTest, FailedSleepCommandWritesTheConsoleLine) {
    power.failure = "No such file or directory";
    timer.start(1);
    scheduler.advance(61s);
    EXPECT_EQ(console.lines(), std::vector<std::string>{"Mirl: suspend failed: No such file or directory"});
}

TEST_F(TimerTest, SleepOnFireOffDoesNotSleep) {
    settings.writeBool(keys::systemSleepOnFire, false);
    timer.start(1);
    scheduler.advance(62s);
    EXPECT_EQ(power.suspendCalls, 0);
    EXPECT_EQ(events.named("timer_fired")[0], (EventPayload{{"will_sleep", false}, {"mode", "night"}}));
    EXPECT_EQ(events.named("baseline_restored")[0], (EventPayload{{"reason", "timer_fired_no_sleep"}}));
}

TEST_F(TimerTest, CancelIsSilentAndStopsTicking) {
    timer.start(10);
    scheduler.advance(5s);
    timer.cancel();
    scheduler.advance(20min);
    EXPECT_TRUE(events.names().empty());
    EXPECT_FALSE(timer.isRunning());
    EXPECT_DOUBLE_EQ(timer.progress(), 0.0);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

class NapTimerTest : public TimerTest {
protected:
    NapTimerTest() : TimerTest(at(14, 0)) {}
};

TEST_F(NapTimerTest, ShortNapWakesAtTheFirstTickAndNeverSleeps) {
    std::vector<double> woke;
    timer.onShouldWake = [&](double left) { woke.push_back(left); };
    int before = 0;
    timer.onBeforeSystemSleep = [&] { ++before; };
    timer.start(2);
    EXPECT_EQ(timer.mode(), MirlMode::nap);
    scheduler.advance(1s);
    ASSERT_EQ(woke.size(), 1u);
    EXPECT_DOUBLE_EQ(woke[0], 119.0);
    EXPECT_EQ(events.named("nap_wake_begin")[0],
              (EventPayload{{"remaining_sec", 119}, {"wake_lead_sec", 180}}));
    scheduler.advance(120s);
    EXPECT_EQ(woke.size(), 1u);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(events.names(),
              (std::vector<std::string>{"nap_wake_begin", "timer_fired", "baseline_restored"}));
    EXPECT_EQ(events.named("timer_fired")[0], (EventPayload{{"will_sleep", false}, {"mode", "nap"}}));
    EXPECT_EQ(events.named("baseline_restored")[0], (EventPayload{{"reason", "timer_fired_no_sleep"}}));
    scheduler.advance(5s);
    EXPECT_EQ(power.suspendCalls, 0);
    EXPECT_TRUE(events.named("timer_prewarn").empty());
}

TEST_F(NapTimerTest, WakeLeadIsReadAtEveryTick) {
    int woke = 0;
    timer.onShouldWake = [&](double) { ++woke; };
    timer.start(30);
    scheduler.advance(10min);
    EXPECT_EQ(woke, 0);
    settings.writeInt(keys::modeNapWakeLeadSec, 1200);
    scheduler.advance(1s);
    EXPECT_EQ(woke, 1);
}

TEST_F(TimerTest, CountdownTexts) {
    struct Row {
        double remaining;
        const char* full;
        const char* shortText;
    };
    const Row rows[] = {
        {58.2, "00:59", "0:59"},        {3600, "1:00:00", "60:00"},   {545, "09:05", "9:05"},
        {5400, "1:30:00", "90:00"},     {3599.5, "1:00:00", "60:00"}, {0, "00:00", "0:00"},
        {86400, "24:00:00", "1440:00"},
    };
    for (const auto& row : rows) {
        timer.start(1440);
        timer.now.set(addSeconds(*timer.endDate.get(), -row.remaining));
        EXPECT_EQ(timer.remainingText(), row.full) << row.remaining;
        EXPECT_EQ(timer.shortRemainingText(), row.shortText) << row.remaining;
    }
}

TEST_F(TimerTest, ProgressStaysWithinZeroAndOne) {
    EXPECT_DOUBLE_EQ(timer.progress(), 0.0);
    timer.start(10);
    scheduler.advance(150s);
    EXPECT_DOUBLE_EQ(timer.progress(), 0.25);
    timer.now.set(*timer.endDate.get() + 10s);
    EXPECT_DOUBLE_EQ(timer.progress(), 1.0);
    EXPECT_DOUBLE_EQ(timer.remaining(), 0.0);
}

TEST_F(TimerTest, ZeroMinuteTimerFiresAtTheFirstTick) {
    timer.start(0);
    EXPECT_TRUE(timer.isRunning());
    scheduler.advance(1s);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(events.names().front(), "timer_fired");
}

TEST_F(TimerTest, AnAbsurdlyLongTimerRunsRatherThanFiringAtOnce) {
    // INT_MAX minutes is past the clock's 64-bit nanoseconds; the end holds at the clock's end.
    timer.start(std::numeric_limits<int>::max());
    scheduler.advance(2s);
    EXPECT_TRUE(timer.isRunning());
    EXPECT_GT(*timer.endDate.get(), scheduler.now());
    timer.cancel();
    timer.start(30);
    timer.extend(std::numeric_limits<int>::max());
    scheduler.advance(3600s);
    EXPECT_TRUE(timer.isRunning());
    EXPECT_TRUE(events.named("timer_fired").empty());
}

TEST_F(TimerTest, RestartReplacesTheRunningTimer) {
    int warned = 0;
    timer.onShouldWarn = [&](double) { ++warned; };
    timer.start(2);
    scheduler.advance(61s);
    EXPECT_EQ(warned, 1);
    timer.start(3);
    EXPECT_DOUBLE_EQ(timer.totalDuration.get(), 180.0);
    scheduler.advance(120s);
    EXPECT_EQ(warned, 2);
    scheduler.advance(60s);
    EXPECT_EQ(events.named("timer_fired").size(), 1u);
}
