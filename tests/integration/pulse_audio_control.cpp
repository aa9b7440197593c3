// testenv: --pulse
// timeout: 120
// SystemAudio, the volume monitor and the device layer against the test environment's
// PulseAudio daemon, including the daemon going away and coming back.

#include "fade/SystemAudio.h"
#include "fade/SystemVolumeMonitor.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/QtScheduler.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/DBusMock.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

namespace {

std::string capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        ::pclose(pipe);
    }
    return out;
}

// The first percentage pactl prints for the sink's volume.
int pactlVolume(const std::string& sink) {
    const std::string out = capture("pactl get-sink-volume " + sink);
    std::smatch match;
    if (std::regex_search(out, match, std::regex("(\\d+)%"))) {
        return std::stoi(match[1]);
    }
    return -1;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

class PulseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtCore(); }

    void SetUp() override {
        ASSERT_NE(std::getenv("MIRL_TESTENV_PULSE_START"), nullptr) << "not inside mirl-testenv --pulse";
        ASSERT_TRUE(pumpUntil([&] { return audio.connected(); }, 5s)) << "PulseAudio does not answer";
        monitor.onExternalVolumeChange = [this](int v) { reports.push_back(v); };
        ASSERT_EQ(shell("pactl set-default-sink spk && pactl set-sink-volume spk 50%"), 0);
        ASSERT_TRUE(pumpUntil([&] { return system.currentVolume() == 50; }, 3s));
    }
    void TearDown() override { monitor.stop(); }

    QtScheduler scheduler;
    RecordingEventSink events;
    PulseAudioControl audio{scheduler};
    SystemVolumeMonitor monitor{audio, events};
    SystemAudio system{audio, monitor, scheduler, events};
    std::vector<int> reports;
};

} // namespace

TEST_F(PulseTest, VolumeSetByMirlIsWhatPactlReads) {
    for (int percent : {37, 0, 100, 64}) {
        system.setVolume(percent, "manual_slider");
        EXPECT_EQ(pactlVolume("spk"), percent);
        EXPECT_EQ(system.currentVolume(), percent);
    }
    ASSERT_EQ(shell("pactl set-sink-volume spk 23%"), 0);
    EXPECT_TRUE(pumpUntil([&] { return system.currentVolume() == 23; }, 3s)) << system.currentVolume();
}

TEST_F(PulseTest, WriteKeepsTheBalance) {
    ASSERT_EQ(shell("pactl set-sink-volume spk 40% 80%"), 0);
    ASSERT_TRUE(pumpUntil([&] { return system.currentVolume() == 80; }, 3s));
    system.setVolume(40, "manual_slider");
    const std::string out = capture("pactl get-sink-volume spk");
    EXPECT_NE(out.find("20%"), std::string::npos) << out;
    EXPECT_NE(out.find("40%"), std::string::npos) << out;
}

TEST_F(PulseTest, OutsideChangeReachesTheMonitorOnceAndOwnWriteDoesNot) {
    monitor.start();
    EXPECT_EQ(events.named("volume_monitor_started")[0]["initial_percent"], 50);
    system.setVolume(20, "autofade");
    pumpFor(500ms);
    EXPECT_TRUE(reports.empty()) << "our own write was reported";
    ASSERT_EQ(shell("pactl set-sink-volume spk 70%"), 0);
    EXPECT_TRUE(pumpUntil([&] { return !reports.empty(); }, 3s));
    pumpFor(500ms);
    EXPECT_EQ(reports, std::vector<int>{70});
}

TEST_F(PulseTest, SwitchingTheDefaultSinkIsADeviceChange) {
    ASSERT_EQ(shell("pactl load-module module-null-sink sink_name=spk2 > /dev/null"), 0);
    ASSERT_EQ(shell("pactl set-sink-volume spk2 30%"), 0);
    monitor.start();
    const auto first = monitor.device();
    ASSERT_NE(first, 0u);
    ASSERT_EQ(shell("pactl set-default-sink spk2"), 0);
    EXPECT_TRUE(pumpUntil([&] { return !events.named("volume_monitor_device_changed").empty(); }, 3s));
    const auto changed = events.named("volume_monitor_device_changed");
    ASSERT_FALSE(changed.empty());
    EXPECT_NE(changed[0]["device"], static_cast<long long>(first));
    EXPECT_EQ(changed[0]["percent"], 30);
    EXPECT_EQ(audio.serverInfo()->defaultOutputUid, "spk2");
    EXPECT_TRUE(reports.empty());
    // The new sink is now the one listened to.
    ASSERT_EQ(shell("pactl set-sink-volume spk2 90%"), 0);
    EXPECT_TRUE(pumpUntil([&] { return reports == std::vector<int>{90}; }, 3s));
    shell("pactl set-default-sink spk; pactl unload-module module-null-sink 2>/dev/null; "
          "pactl load-module module-null-sink sink_name=spk >/dev/null 2>&1");
}

TEST_F(PulseTest, SecondSourceAndDefaultSourceSwitchAreSeen) {
    int notified = 0;
    Handle listening = audio.listenToInputs([&] { ++notified; });
    ASSERT_EQ(shell("pactl load-module module-null-source source_name=mic2 "
                    "description=Bedside > /dev/null"),
              0);
    ASSERT_TRUE(pumpUntil(
        [&] {
            for (const auto& d : audio.inputDevices()) {
                if (d.uid == "mic2") {
                    return true;
                }
            }
            return false;
        },
        3s));
    EXPECT_GT(notified, 0);
    SoundDevice mic2;
    for (const auto& d : audio.inputDevices()) {
        EXPECT_EQ(d.uid.find(".monitor"), std::string::npos) << "a monitor source is listed: " << d.uid;
        if (d.uid == "mic2") {
            mic2 = d;
        }
    }
    EXPECT_EQ(mic2.name, "Bedside");
    const auto before = audio.defaultInputDevice();
    ASSERT_NE(before, 0u);
    EXPECT_TRUE(audio.setDefaultInputDevice(mic2.id));
    EXPECT_EQ(trimmed(capture("pactl get-default-source")), "mic2");
    EXPECT_EQ(audio.defaultInputDevice(), mic2.id);
    // Switched back by someone else.
    ASSERT_EQ(shell("pactl set-default-source mic"), 0);
    EXPECT_TRUE(pumpUntil([&] { return audio.defaultInputDevice() == before; }, 3s));
    EXPECT_EQ(audio.serverInfo()->defaultInputUid, "mic");
    EXPECT_FALSE(audio.setDefaultInputDevice(987654)) << "an unknown device";
}

TEST_F(PulseTest, PlayingProbeFollowsPaplay) {
    TempDir dir;
    const auto wav = dir.path() / "tone.wav";
    ASSERT_EQ(shell("sox -n -r 44100 -c 1 '" + wav.string() + "' synth 1.5 sine 440 gain -20"), 0);
    EXPECT_FALSE(audio.isOutputAudioPlaying());
    ASSERT_EQ(shell("paplay '" + wav.string() + "' & echo $! > '" + (dir.path() / "pid").string() + "'"), 0);
    EXPECT_TRUE(pumpUntil([&] { return audio.isOutputAudioPlaying(); }, 3s)) << "paplay is not seen playing";
    EXPECT_TRUE(pumpUntil([&] { return !audio.isOutputAudioPlaying(); }, 8s)) << "still playing after paplay";
}

TEST_F(PulseTest, DaemonRestartLeavesMirlWorking) {
    monitor.start();
    const std::string pid = trimmed(readFile(std::getenv("MIRL_TESTENV_PULSE_PIDFILE")));
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(shell("kill " + pid), 0);
    ASSERT_TRUE(pumpUntil([&] { return !audio.connected(); }, 5s)) << "the loss of the daemon went unnoticed";
    EXPECT_EQ(system.currentVolume(), 50);
    EXPECT_EQ(audio.defaultOutputDevice(), 0u);
    EXPECT_FALSE(audio.isOutputAudioPlaying());
    EXPECT_TRUE(audio.inputDevices().empty());
    const auto before = std::chrono::steady_clock::now();
    system.setVolume(10, "autofade"); // dropped, quickly
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
    pumpFor(200ms);
    EXPECT_EQ(events.named("volume_applied").size(), 1u);

    ASSERT_EQ(shell(std::string(std::getenv("MIRL_TESTENV_PULSE_START")) + " > /dev/null 2>&1"), 0)
        << "the daemon did not start again";
    ASSERT_TRUE(pumpUntil([&] { return audio.connected(); }, 8s)) << "no reconnection";
    EXPECT_TRUE(pumpUntil([&] { return monitor.device() != 0; }, 3s)) << "the monitor did not follow";
    system.setVolume(22, "autofade");
    EXPECT_EQ(pactlVolume("spk"), 22);
    ASSERT_EQ(shell("pactl set-sink-volume spk 61%"), 0);
    EXPECT_TRUE(pumpUntil([&] { return !reports.empty() && reports.back() == 61; }, 3s));
}
