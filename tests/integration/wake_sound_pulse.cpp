// testenv: --pulse
// timeout: 120
// The wake sound on the test environment's PulseAudio: heard on the null sink's monitor,
// rising over its (shortened) ramp; our own sound is not "another application playing".

#include "fade/WakeSound.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/linux/InstalledResources.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/PulseAudioPlayer.h"
#include "platform/linux/QtScheduler.h"
#include "runtime/Console.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/DBusMock.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

namespace {

// Float samples recorded from spk.monitor while the object lives.
class MonitorRecording {
public:
    explicit MonitorRecording(const std::filesystem::path& file) : file_(file) {
        pidFile_ = file.string() + ".pid";
        shell("parec --device=spk.monitor --format=float32le --channels=1 --rate=48000 --latency-msec=20 '" +
              file.string() + "' & echo $! > '" + pidFile_ + "'");
        // Recording has begun once the server lists parec's stream.
        recording = pumpUntil([] { return shell("pactl list source-outputs short | grep -q .") == 0; }, 5s);
    }
    bool recording = false;
    ~MonitorRecording() { finish(); }
    std::vector<float> finish() {
        if (!pidFile_.empty()) {
            shell("kill $(cat '" + pidFile_ + "') 2>/dev/null; sleep 0.2");
            pidFile_.clear();
        }
        const std::string bytes = readFile(file_);
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }

private:
    std::filesystem::path file_;
    std::string pidFile_;
};

class WakeSoundPulseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtCore(); }
    void SetUp() override {
        ASSERT_TRUE(pumpUntil([&] { return audio.connected(); }, 5s)) << "PulseAudio does not answer";
        ASSERT_EQ(shell("pactl set-sink-volume spk 100%"), 0);
        probes.idle = 1e6; // nobody touches anything
    }

    void TearDown() override {
        if (!silencePid_.empty()) {
            shell("kill " + silencePid_ + " 2>/dev/null");
        }
    }

    // Silence from another process keeps the null sink running, so that it plays (and its
    // monitor delivers) from the first moment of our sound on: an idle null sink starts late.
    void keepSinkRunning() {
        const auto silence = dir.path() / "silence.wav";
        const auto pid = dir.path() / "silence.pid";
        ASSERT_EQ(shell("sox -n -r 48000 -c 1 '" + silence.string() + "' trim 0 15"), 0);
        ASSERT_EQ(shell("paplay '" + silence.string() + "' & echo $! > '" + pid.string() + "'"), 0);
        silencePid_ = readFile(pid);
        while (!silencePid_.empty() && silencePid_.back() == '\n') {
            silencePid_.pop_back();
        }
        ASSERT_TRUE(pumpUntil([&] { return audio.isOutputAudioPlaying(); }, 5s)) << "paplay does not play";
        pumpFor(500ms);
    }

    std::string silencePid_;
    QtScheduler scheduler;
    SystemClock clock;
    RecordingEventSink events;
    RecordingConsole console;
    PulseAudioControl audio{scheduler};
    PulseAudioPlayerFactory players{scheduler};
    InstalledResources resources;
    FakeActivityProbes probes;
    TempDir dir;
};

} // namespace

TEST_F(WakeSoundPulseTest, AudibleOnTheMonitorAndRisingOverTheRamp) {
    WakeSound wake(clock, scheduler, events, console, players, resources, probes, WakeSoundTiming{4, 30});
    keepSinkRunning();
    MonitorRecording recording(dir.path() / "monitor.f32");
    ASSERT_TRUE(recording.recording) << "parec does not record spk.monitor";
    pumpFor(1500ms);
    wake.play(WakeSoundChoice::river);
    ASSERT_TRUE(wake.isPlaying()) << (console.lines().empty() ? "" : console.lines().back());
    pumpFor(7500ms);
    wake.stop("test_done");
    const auto samples = recording.finish();
    ASSERT_GT(samples.size(), 48000u * 5) << "parec recorded too little";

    // Find where the sound starts, then compare its first second with a second after the ramp.
    std::size_t start = 0;
    while (start < samples.size() && std::abs(samples[start]) < 0.002f) {
        ++start;
    }
    ASSERT_LT(start + 48000 * 5, samples.size()) << "nothing audible on spk.monitor";
    const double early = rms(samples, start, start + 48000 * 3 / 4);
    const double first = rms(samples, start, start + 4800);
    EXPECT_LT(first, early * 1.5) << "the first moment is louder than the start gain";
    const double late = rms(samples, start + 48000 * 4 + 12000, start + 48000 * 5);
    RecordProperty("early_rms", std::to_string(early));
    RecordProperty("late_rms", std::to_string(late));
    EXPECT_GT(early, 0.005) << "the start is inaudible";
    EXPECT_GT(late / early, 2.5) << "early " << early << ", late " << late;
    EXPECT_LT(late / early, 6.0) << "early " << early << ", late " << late;
    EXPECT_EQ(events.named("wake_sound_begin")[0]["ramp_sec"], 4);
}

TEST_F(WakeSoundPulseTest, OwnPreviewIsNotAnotherApplicationPlaying) {
    WakeSound wake(clock, scheduler, events, console, players, resources, probes);
    bool finished = false;
    wake.onFinish = [&] { finished = true; };
    wake.preview(WakeSoundChoice::bong);
    ASSERT_TRUE(wake.isPlaying()) << (console.lines().empty() ? "" : console.lines().back());
    pumpFor(1s);
    EXPECT_NE(shell("pactl list sink-inputs short | grep -q ."), 1) << "no stream is playing";
    EXPECT_FALSE(audio.isOutputAudioPlaying());
    EXPECT_TRUE(pumpUntil([&] { return finished; }, 15s)) << "the preview never finished";
    EXPECT_FALSE(wake.isPlaying());
    EXPECT_TRUE(events.names().empty());
}

TEST_F(WakeSoundPulseTest, PlayerSeeksPausesAndReportsItsTime) {
    const auto file = resources.sound("Sea", "m4a");
    ASSERT_TRUE(file);
    keepSinkRunning();
    auto opened = players.open(*file);
    ASSERT_TRUE(opened.player) << opened.error;
    AudioPlayer& player = *opened.player;
    EXPECT_NEAR(player.duration(), 17.0, 0.05);
    // The null sink starts a new stream late and in steps: wait for what is heard, boundedly.
    player.play();
    EXPECT_TRUE(pumpUntil([&] { return player.currentTime() > 0.5; }, 3s)) << player.currentTime();
    EXPECT_LT(player.currentTime(), 3.0);
    player.seek(10.0);
    EXPECT_NEAR(player.currentTime(), 10.0, 0.5) << "a seek is heard at once";
    EXPECT_TRUE(pumpUntil([&] { return player.currentTime() > 10.4; }, 3s)) << player.currentTime();
    EXPECT_LT(player.currentTime(), 13.0);
    player.pause();
    pumpFor(300ms);
    const double paused = player.currentTime();
    pumpFor(500ms);
    EXPECT_NEAR(player.currentTime(), paused, 0.02);
    EXPECT_FALSE(player.isPlaying());
    // Close to the end: without looping it finishes, with looping it goes on.
    bool finished = false;
    player.onFinished = [&] { finished = true; };
    player.seek(16.5);
    player.play();
    EXPECT_TRUE(pumpUntil([&] { return finished; }, 5s)) << "no end notification";
    EXPECT_NEAR(player.currentTime(), 17.0, 0.05);
    finished = false;
    player.setLooping(true);
    player.seek(16.5);
    player.play();
    EXPECT_TRUE(pumpUntil([&] { return player.currentTime() < 2.0; }, 5s)) << "the loop did not start again";
    EXPECT_FALSE(finished) << "a looping player finished";
    EXPECT_TRUE(player.isPlaying());
}

TEST_F(WakeSoundPulseTest, BrokenFileIsAnError) {
    const auto junk = dir.path() / "Broken.m4a";
    ASSERT_EQ(shell("head -c 5000 /dev/urandom > '" + junk.string() + "'"), 0);
    auto opened = players.open(junk);
    EXPECT_FALSE(opened.player);
    EXPECT_FALSE(opened.error.empty());
}

TEST_F(WakeSoundPulseTest, WithoutTheServerTheWakeSoundReportsAnErrorAndComesBack) {
    WakeSound wake(clock, scheduler, events, console, players, resources, probes);
    std::string pid = readFile(std::getenv("MIRL_TESTENV_PULSE_PIDFILE"));
    while (!pid.empty() && pid.back() == '\n') {
        pid.pop_back();
    }
    ASSERT_EQ(shell("kill " + pid), 0);
    ASSERT_TRUE(pumpUntil([&] { return !audio.connected(); }, 5s));
    const auto before = std::chrono::steady_clock::now();
    wake.play(WakeSoundChoice::sea);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2500ms);
    EXPECT_FALSE(wake.isPlaying());
    ASSERT_EQ(events.named("wake_sound_error").size(), 1u);
    EXPECT_EQ(events.named("wake_sound_error")[0]["error"], "the sound server is not reachable");
    EXPECT_EQ(console.lines().back(), "Mirl: wake sound failed to play: the sound server is not reachable");

    ASSERT_EQ(shell(std::string(std::getenv("MIRL_TESTENV_PULSE_START")) + " > /dev/null 2>&1"), 0);
    ASSERT_TRUE(pumpUntil([&] { return audio.connected(); }, 8s));
    wake.play(WakeSoundChoice::sea);
    EXPECT_TRUE(wake.isPlaying());
    wake.stop("test_done");
}
