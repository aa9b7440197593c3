#include "fade/WakeSound.h"
#include "platform/fake/FakeAudioPlayer.h"
#include "runtime/Console.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

// Idle time that follows the virtual clock: input happens when the test says so.
class ClockedIdle final : public ActivityProbes {
public:
    explicit ClockedIdle(VirtualScheduler& clock) : clock_(clock), lastInput_(clock.now() - 3600s) {}
    std::optional<double> idleSeconds() override {
        if (unknown)
            return std::nullopt;
        return secondsBetween(lastInput_, clock_.now());
    }
    bool isMediaPlaybackActive() override { return false; }
    std::optional<double> readAmbientLux() override { return std::nullopt; }
    void input() { lastInput_ = clock_.now(); }
    bool unknown = false; // no idle facility answers

private:
    VirtualScheduler& clock_;
    TimePoint lastInput_;
};

class WakeSoundTest : public ::testing::Test {
protected:
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    RecordingConsole console;
    FakeAudioPlayerFactory players;
    FakeResources resources;
    ClockedIdle idle{scheduler};
    WakeSound wake{scheduler, scheduler, events, console, players, resources, idle};
};

} // namespace

TEST_F(WakeSoundTest, PlayLoopsAtAQuarterGainAndLogsTheBeginning) {
    wake.play(WakeSoundChoice::sea);
    ASSERT_EQ(players.logs.size(), 1u);
    const auto& log = *players.logs[0];
    EXPECT_EQ(log.file.filename(), "Sea.m4a");
    EXPECT_TRUE(log.looping);
    EXPECT_TRUE(log.playing);
    EXPECT_FLOAT_EQ(log.gain, 0.25f);
    EXPECT_EQ(events.names(), std::vector<std::string>{"wake_sound_begin"});
    EXPECT_EQ(events.named("wake_sound_begin")[0],
              (EventPayload{{"sound", "sea"}, {"ramp_sec", 40}, {"max_duration_sec", 180}}));
}

TEST_F(WakeSoundTest, GainRampsLinearlyOverFortySeconds) {
    wake.play(WakeSoundChoice::birds);
    struct Row {
        const char* name;
        int atSeconds;
        float gain;
    };
    for (const Row& row : {Row{"start", 0, 0.25f}, Row{"one second", 1, 0.26875f},
                           Row{"half way", 20, 0.625f}, Row{"end of ramp", 40, 1.0f}}) {
        SCOPED_TRACE(row.name);
        scheduler.advanceTo(VirtualScheduler::defaultStart() + std::chrono::seconds(row.atSeconds));
        EXPECT_FLOAT_EQ(*wake.gain(), row.gain);
    }
    EXPECT_FALSE(wake.ramping()) << "the ramp timer ends at full gain";
    scheduler.advance(10s);
    EXPECT_FLOAT_EQ(*wake.gain(), 1.0f);
}

TEST_F(WakeSoundTest, EarlyKeyPressNeverStopsTheSound) {
    wake.play(WakeSoundChoice::birds);
    scheduler.advance(300ms);
    idle.input(); // 0.3 s after the start
    scheduler.advance(30s);
    EXPECT_TRUE(wake.isPlaying());
    EXPECT_TRUE(events.named("wake_sound_stop").empty());
}

TEST_F(WakeSoundTest, KeyPressAfterFiveSecondsStopsAtTheNextCheck) {
    wake.play(WakeSoundChoice::birds);
    scheduler.advance(5s);
    idle.input();
    scheduler.advance(200ms);
    EXPECT_TRUE(wake.isPlaying()) << "between two checks";
    scheduler.advance(300ms);
    EXPECT_FALSE(wake.isPlaying());
    EXPECT_EQ(events.named("wake_sound_stop"),
              (std::vector<EventPayload>{{{"reason", "user_activity"}, {"played_sec", 5}}}));
    EXPECT_EQ(players.logs[0]->stops, 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "timers left behind";
}

TEST_F(WakeSoundTest, StopsAfterThreeMinutesWithoutInput) {
    wake.play(WakeSoundChoice::river);
    scheduler.advance(179s);
    EXPECT_TRUE(wake.isPlaying());
    scheduler.advance(1s);
    EXPECT_FALSE(wake.isPlaying());
    EXPECT_EQ(events.named("wake_sound_stop"),
              (std::vector<EventPayload>{{{"reason", "max_duration"}, {"played_sec", 180}}}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(WakeSoundTest, AnUnknownIdleTimeIsNoInputSoTheSoundPlaysToItsEnd) {
    idle.unknown = true;
    wake.play(WakeSoundChoice::sea);
    scheduler.advance(179s);
    EXPECT_TRUE(wake.isPlaying()) << "nobody was seen touching anything";
    scheduler.advance(1s);
    EXPECT_EQ(events.named("wake_sound_stop"),
              (std::vector<EventPayload>{{{"reason", "max_duration"}, {"played_sec", 180}}}));
}

TEST_F(WakeSoundTest, PreviewPlaysOnceAtFullGainWithoutTimersOrEvents) {
    wake.preview(WakeSoundChoice::bong);
    ASSERT_EQ(players.logs.size(), 1u);
    EXPECT_FALSE(players.logs[0]->looping);
    EXPECT_FLOAT_EQ(players.logs[0]->gain, 1.0f);
    EXPECT_TRUE(events.names().empty());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    int finishes = 0;
    wake.onFinish = [&] { ++finishes; };
    players.last->finish();
    EXPECT_FALSE(wake.isPlaying());
    EXPECT_EQ(finishes, 1);
    EXPECT_TRUE(events.names().empty()) << "a finished preview writes nothing";
    wake.stop("user_cancelled_timer");
    EXPECT_TRUE(events.names().empty()) << "stop with nothing playing writes nothing";
}

TEST_F(WakeSoundTest, PlayOverPreviewEndsThePreviewWithRestart) {
    wake.preview(WakeSoundChoice::purr);
    scheduler.advance(2500ms);
    wake.play(WakeSoundChoice::birds);
    EXPECT_EQ(events.names(), (std::vector<std::string>{"wake_sound_stop", "wake_sound_begin"}));
    EXPECT_EQ(events.named("wake_sound_stop")[0], (EventPayload{{"reason", "restart"}, {"played_sec", 2}}));
    EXPECT_TRUE(players.logs[0]->destroyed);
    EXPECT_TRUE(players.logs[1]->looping);
}

TEST_F(WakeSoundTest, PreviewOverWakeSoundStopsItWithPreviewRestart) {
    wake.play(WakeSoundChoice::birds);
    scheduler.advance(3s);
    wake.preview(WakeSoundChoice::sea);
    EXPECT_EQ(events.named("wake_sound_stop")[0],
              (EventPayload{{"reason", "preview_restart"}, {"played_sec", 3}}));
    EXPECT_FALSE(wake.watchingActivity());
    EXPECT_FALSE(wake.ramping());
}

TEST_F(WakeSoundTest, NoneIsSkippedAfterStoppingWhatPlays) {
    wake.play(WakeSoundChoice::sea);
    events.clear();
    wake.play(WakeSoundChoice::none);
    EXPECT_EQ(events.names(), (std::vector<std::string>{"wake_sound_stop", "wake_sound_skipped"}));
    EXPECT_EQ(events.named("wake_sound_skipped")[0], (EventPayload{{"reason", "choice_none"}}));
    events.clear();
    wake.play(WakeSoundChoice::none);
    EXPECT_EQ(events.names(), std::vector<std::string>{"wake_sound_skipped"});
}

TEST_F(WakeSoundTest, MissingResourceAndBrokenFile) {
    resources.installed.erase("Birds.m4a");
    wake.play(WakeSoundChoice::birds);
    EXPECT_EQ(console.lines(), std::vector<std::string>{"Mirl: wake sound resource missing: Birds.m4a"});
    EXPECT_EQ(events.named("wake_sound_error")[0], (EventPayload{{"missing_resource", "Birds"}}));
    EXPECT_FALSE(wake.isPlaying());
    wake.preview(WakeSoundChoice::birds);
    EXPECT_EQ(console.lines().size(), 1u) << "a preview of a missing sound is silent";

    players.failWith = "invalid data found";
    wake.play(WakeSoundChoice::sea);
    EXPECT_EQ(console.lines().back(), "Mirl: wake sound failed to play: invalid data found");
    EXPECT_EQ(events.named("wake_sound_error")[1], (EventPayload{{"error", "invalid data found"}}));
    wake.preview(WakeSoundChoice::sea);
    EXPECT_EQ(console.lines().back(), "Mirl: wake sound preview failed: invalid data found");
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(WakeSoundTest, CallerStopLogsItsReason) {
    wake.play(WakeSoundChoice::bong);
    scheduler.advance(12s);
    wake.stop("user_cancelled_timer");
    EXPECT_EQ(events.named("wake_sound_stop")[0],
              (EventPayload{{"reason", "user_cancelled_timer"}, {"played_sec", 12}}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(WakeSoundChoices, NamesInOrder) {
    std::vector<std::string> raw, display;
    for (auto choice : allWakeSoundChoices) {
        raw.emplace_back(rawValue(choice));
        display.emplace_back(displayName(choice));
    }
    EXPECT_EQ(raw, (std::vector<std::string>{"birds", "sea", "river", "bong", "purr", "none"}));
    EXPECT_EQ(display,
              (std::vector<std::string>{"Birds", "Sea", "River", "Zen bong", "Purring cat", "No sound"}));
    EXPECT_EQ(resourceName(WakeSoundChoice::bong), "Bong");
    EXPECT_EQ(wakeSoundChoiceFromRaw("purr"), WakeSoundChoice::purr);
    EXPECT_FALSE(wakeSoundChoiceFromRaw("Purr"));
}
