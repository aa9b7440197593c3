#include "core/session/InactivityCheck.h"
#include "core/settings/SettingsKeys.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakePower.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

/// A running 60-minute timer with an armed fade engine (no fade yet) at 22:00.
class InactivityTest : public ::testing::Test {
public:
    InactivityTest() {
        timer.start(60);
        fader.start(60, 40);
        events.clear();
    }
    /// Moves time on by d (the engines' own timers run) and runs one check.
    void checkAfter(Duration d, bool autoFade = true) {
        scheduler.advance(d);
        check.step(autoFade);
    }
    std::vector<std::string> names() const { return events.names(); }

    VirtualScheduler scheduler;
    MemorySettingsStore store;
    Settings settings{store};
    test::RecordingEventSink events;
    FakeActivityProbes probes;
    FakePower power;
    RecordingConsole console;
    SleepTimerModel timer{scheduler, scheduler, settings, events, power, console};
    AutoFader fader{scheduler, scheduler, settings, events, probes};
    InactivityCheck check{scheduler, settings, events, probes, timer, fader};
};

} // namespace

TEST_F(InactivityTest, IdlenessBeyondTheThresholdBeginsAnIdleFade) {
    probes.idle = 599.0;
    checkAfter(5s);
    EXPECT_TRUE(names().empty());
    probes.idle = 600.0;
    checkAfter(5s);
    ASSERT_EQ(names(), (std::vector<std::string>{"autofader_triggered_by_idle", "autofader_fade_begin"}));
    EXPECT_EQ(events.named("autofader_triggered_by_idle")[0].dump(),
              R"({"idle_sec":600.0,"remaining_timer_sec":3590.0})");
    EXPECT_TRUE(fader.isFading.get());
    checkAfter(5s);
    EXPECT_EQ(events.named("autofader_triggered_by_idle").size(), 1u) << "a running fade is not begun again";
}

TEST_F(InactivityTest, DoesNothingOutsideAnArmedSessionOrWhenSwitchedOff) {
    probes.idle = 5000.0;
    struct Row {
        const char* name;
        std::function<void(InactivityTest&)> setUp;
        bool autoFade = true;
    };
    const std::vector<Row> rows{
        {"auto-fade switch off", [](InactivityTest&) {}, false},
        {"fade.auto_enabled false",
         [](InactivityTest& t) { t.settings.writeBool(keys::fadeAutoEnabled, false); }},
        {"fade.trigger_idle_enabled false",
         [](InactivityTest& t) { t.settings.writeBool(keys::fadeTriggerIdleEnabled, false); }},
        {"fade engine disarmed", [](InactivityTest& t) { t.fader.stop("user_disabled"); }},
        {"timer not running", [](InactivityTest& t) { t.timer.cancel(); }},
    };
    for (const auto& row : rows) {
        row.setUp(*this);
        events.clear();
        checkAfter(5s, row.autoFade);
        EXPECT_TRUE(names().empty()) << row.name;
        EXPECT_FALSE(fader.isFading.get()) << row.name;
    }
}

TEST_F(InactivityTest, ActivityCancelsAFadeAtMostOncePerFiveSeconds) {
    fader.beginTimerFade(1800, 0.8);
    events.clear();
    probes.idle = 1.5;
    checkAfter(5s);
    ASSERT_EQ(names(), (std::vector<std::string>{"autofader_fade_cancelled_by_activity",
                                                 "autofader_reset_by_user_activity"}));
    EXPECT_EQ(events.named("autofader_reset_by_user_activity")[0].dump(), R"({"idle_sec":1.5})");
    const TimePoint firstReset = scheduler.now();
    EXPECT_EQ(check.lastInteractionResetAt(), firstReset);

    // A sleep signal begins a fade again; activity 5.0 s after the reset does not cancel it.
    fader.accelerate("phase_asleep");
    events.clear();
    checkAfter(5s);
    EXPECT_TRUE(names().empty());
    EXPECT_TRUE(fader.isFading.get());
    EXPECT_EQ(check.lastInteractionResetAt(), firstReset);
    checkAfter(1s);
    EXPECT_EQ(names().back(), "autofader_reset_by_user_activity") << "6 s after the last one";
    EXPECT_FALSE(fader.isFading.get());
}

TEST_F(InactivityTest, TypingWithoutAFadeNeverResetsAnything) {
    probes.idle = 0.2;
    for (int i = 0; i < 20; ++i)
        checkAfter(5s);
    EXPECT_TRUE(names().empty());
    EXPECT_FALSE(check.lastInteractionResetAt());
}

TEST_F(InactivityTest, NoIdleFadeWithinTheCooldownOfACancellation) {
    // Cancel a fade at 22:00:05, then the user leaves the machine at once.
    fader.beginTimerFade(1800, 0.8);
    probes.idle = 0.0;
    checkAfter(5s);
    ASSERT_TRUE(check.lastInteractionResetAt());
    const TimePoint reset = *check.lastInteractionResetAt();
    settings.writeInt(keys::fadeIdleThresholdSec, 60);
    events.clear();
    for (int s = 5; s < 300; s += 5) {
        probes.idle = s;
        checkAfter(5s);
    }
    EXPECT_TRUE(names().empty()) << "idle beyond the threshold, but within 300 s of the cancellation";
    probes.idle = 300;
    checkAfter(5s);
    EXPECT_EQ(scheduler.now() - reset, 300s);
    EXPECT_EQ(names().front(), "autofader_triggered_by_idle");
}

TEST_F(InactivityTest, PlayingMediaHoldsTheIdleFadeAndIsLoggedAtEveryCheck) {
    probes.idle = 700.0;
    probes.mediaPlaying = true;
    checkAfter(5s);
    checkAfter(5s);
    EXPECT_EQ(names(),
              (std::vector<std::string>{"autofader_idle_trigger_skipped", "autofader_idle_trigger_skipped"}));
    EXPECT_EQ(events.named("autofader_idle_trigger_skipped")[0].dump(),
              R"({"idle_sec":700.0,"reason":"media_playback_active"})");
    EXPECT_FALSE(fader.isFading.get());
    probes.mediaPlaying = false;
    checkAfter(5s);
    EXPECT_EQ(names().back(), "autofader_fade_begin");
}

TEST_F(InactivityTest, AnUnknownIdleTimeIsNeitherActivityNorIdleness) {
    probes.idle = std::nullopt;
    checkAfter(5s);
    EXPECT_FALSE(fader.isFading.get()) << "no idle fade";
    fader.beginTimerFade(1800, 0.8);
    events.clear();
    checkAfter(5s);
    EXPECT_TRUE(fader.isFading.get()) << "and no cancellation";
    EXPECT_TRUE(names().empty());
}
