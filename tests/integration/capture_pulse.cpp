// testenv: --pulse --mics
// timeout: 300
// The microphone pipeline against a real PulseAudio: what a pipe source is fed is what the
// recording holds; a process killed while recording leaves all but its last second; switching
// the default source rebuilds once into "-part2"; a sound server killed and started again is
// survived; the input devices are the server's sources without the monitors.

#include "platform/AudioFileReader.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/DBusMock.h"
#include "tests/support/LiveDetector.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <thread>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

extern char** environ;

namespace {

constexpr double kPipeRate = 48000;

/// Tones and a sweep that an AAC encoder keeps close to the waveform.
std::vector<float> testSignal(double seconds) {
    std::vector<float> out(static_cast<std::size_t>(seconds * kPipeRate));
    double sweepPhase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kPipeRate;
        sweepPhase += 2 * std::numbers::pi * (200 + 150 * t) / kPipeRate;
        out[i] = static_cast<float>(0.2 * std::sin(2 * std::numbers::pi * 330 * t) *
                                        (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.7 * t)) +
                                    0.15 * std::sin(sweepPhase));
    }
    return out;
}

/// Writes samples into the pipe source's FIFO; `paceSeconds` > 0 writes blocks of that length
/// at that pace (a microphone in real time), 0 writes as fast as the server reads.
void feedPipe(const std::vector<float>& samples, double paceSeconds = 0) {
    const int fd = ::open(std::getenv("MIRL_TESTENV_PIPE"), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::size_t block =
        paceSeconds > 0 ? static_cast<std::size_t>(paceSeconds * kPipeRate) : samples.size();
    auto next = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < samples.size(); at += block) {
        const std::size_t n = std::min(block, samples.size() - at);
        const auto* bytes = reinterpret_cast<const char*>(samples.data() + at);
        for (std::size_t done = 0; done < n * sizeof(float);) {
            const ssize_t w = ::write(fd, bytes + done, n * sizeof(float) - done);
            ASSERT_GT(w, 0);
            done += static_cast<std::size_t>(w);
        }
        if (paceSeconds > 0) {
            next += std::chrono::microseconds(static_cast<long>(paceSeconds * 1e6));
            std::this_thread::sleep_until(next);
        }
    }
    ::close(fd);
}

int pactl(const std::string& args) {
    return shell("pactl " + args + " >/dev/null 2>&1");
}

/// Where `got` lines up with `fed` best (got[i + lag] ~ fed[i]), and the correlation there over
/// fed[0, length).
std::pair<long, double> bestCorrelation(const std::vector<float>& fed, const std::vector<float>& got,
                                        std::size_t length) {
    auto correlation = [&](long lag, std::size_t from, std::size_t to) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = from; i < to; ++i) {
            const long j = static_cast<long>(i) + lag;
            if (j < 0 || j >= static_cast<long>(got.size()))
                return 0.0;
            xy += double(fed[i]) * got[static_cast<std::size_t>(j)];
            xx += double(fed[i]) * fed[i];
            yy += double(got[static_cast<std::size_t>(j)]) * got[static_cast<std::size_t>(j)];
        }
        return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
    };
    long best = 0;
    double bestValue = -1;
    for (long lag = -2048; lag <= 4096; ++lag) { // found on a stretch, then checked on the whole
        const double c = correlation(lag, 24000, 28096);
        if (c > bestValue) {
            bestValue = c;
            best = lag;
        }
    }
    return {best, correlation(best, 0, std::min(length, fed.size()))};
}

std::size_t count(const RecordingEventSink& events, std::string_view name) {
    return events.named(name).size();
}

class CapturePulse : public ::testing::Test {
protected:
    CapturePulse() { ensureQtCore(); }
    TempDir dir;
    std::filesystem::path recording = dir.path() / "audio-2026-12-05-2253.m4a";
};

} // namespace

TEST_F(CapturePulse, APipeSourceIsRecordedAsItWasFed) {
    ASSERT_EQ(pactl("set-default-source pipe"), 0);
    LiveDetector live;
    ASSERT_EQ(live.detector->start(recording), std::nullopt);
    const auto mode = live.events.named("audio_mode").at(0);
    EXPECT_EQ(mode["tap_sample_rate"], 48000.0);
    EXPECT_EQ(mode["tap_channels"], 1);
    const auto input = live.events.named("audio_input").at(0);
    EXPECT_EQ(input["device_uid"], "pipe");
    EXPECT_EQ(input["sample_rate"], 48000.0);
    EXPECT_EQ(input["channels"], 1);

    auto signal = testSignal(6);
    auto fed = signal;
    fed.resize(signal.size() + 24000, 0.0f); // half a second more pushes the last block through
    std::thread feeder([&] { feedPipe(fed); });
    pumpUntil([&] { return count(live.events, "audio_analysis_ready") > 0; }, 5s);
    feeder.join();
    pumpFor(1500ms);
    live.detector->stop();

    const auto got = readAllSequentially(recording);
    ASSERT_GE(got.size(), signal.size());
    const auto [lag, correlation] = bestCorrelation(signal, got, signal.size());
    EXPECT_GE(correlation, 0.99) << "lag " << lag;
    EXPECT_LE(std::abs(lag), 2048);
    EXPECT_TRUE(live.events.named("audio_recording_failed").empty());
}

// The child of the next test: records from the pipe source until it is killed.
TEST(CapturePulseChild, RecordsUntilKilled) {
    const char* path = std::getenv("MIRL_CAPTURE_CHILD");
    if (path == nullptr)
        GTEST_SKIP() << "runs only as the child of KillingTheProcessKeepsAllButTheLastSecond";
    ensureQtCore();
    LiveDetector live;
    ASSERT_EQ(live.detector->start(std::filesystem::path(path)), std::nullopt);
    std::fclose(std::fopen((std::string(path) + ".started").c_str(), "w"));
    pumpFor(120s);
}

TEST_F(CapturePulse, KillingTheProcessKeepsAllButTheLastSecond) {
    ASSERT_EQ(pactl("set-default-source pipe"), 0);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    env.push_back("MIRL_CAPTURE_CHILD=" + recording.string());
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execle("/proc/self/exe", "capture_pulse", "--gtest_filter=CapturePulseChild.RecordsUntilKilled",
                 nullptr, envp.data());
        ::_exit(127);
    }
    const auto started = std::filesystem::path(recording.string() + ".started");
    for (int i = 0; i < 100 && !std::filesystem::exists(started); ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(std::filesystem::exists(started));

    // A microphone in real time: six seconds of the signal, then the room goes on, quiet; the
    // process is killed while it records.
    const auto signal = testSignal(6);
    auto fed = signal;
    fed.resize(static_cast<std::size_t>(8.5 * kPipeRate), 0.0f);
    feedPipe(fed, 0.05);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));

    const auto got = readAllSequentially(recording);
    // What the server and the capture block still held was never the recorder's: at most one
    // capture buffer (8192 frames) and a pace block. Of what the recorder had, at most the last
    // second may be missing.
    const double missing = (static_cast<double>(fed.size()) - static_cast<double>(got.size())) / kPipeRate;
    EXPECT_LE(missing, 1.0 + 8192 / kPipeRate + 0.1) << got.size() << " of " << fed.size() << " frames";
    ASSERT_GE(got.size(), signal.size());
    const auto [lag, correlation] = bestCorrelation(signal, got, signal.size());
    EXPECT_GE(correlation, 0.99) << "lag " << lag;
}

TEST_F(CapturePulse, SwitchingTheDefaultSourceRebuildsOnceIntoPartTwo) {
    ASSERT_EQ(pactl("set-default-source mic"), 0);
    LiveDetector live;
    ASSERT_EQ(live.detector->start(recording), std::nullopt);
    pumpFor(6s); // past the grace period
    ASSERT_EQ(pactl("set-default-source sine"), 0);
    ASSERT_TRUE(pumpUntil([&] { return count(live.events, "audio_pipeline_restart_ok") > 0; }, 5s));
    pumpFor(3s);
    EXPECT_EQ(count(live.events, "audio_pipeline_restart_begin"), 1u);
    const auto ok = live.events.named("audio_pipeline_restart_ok");
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_EQ(ok[0]["new_recording"], "audio-2026-12-05-2253-part2.m4a");
    const auto inputs = live.events.named("audio_input");
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0]["device_uid"], "mic");
    EXPECT_EQ(inputs[1]["device_uid"], "sine");
    live.detector->stop();

    const auto part1 = readAllSequentially(recording);
    const auto part2 = readAllSequentially(dir.path() / "audio-2026-12-05-2253-part2.m4a");
    EXPECT_GT(part1.size(), 44100u * 5);
    EXPECT_LT(rms(part1, 0, part1.size()), 1e-4); // the null source
    ASSERT_GT(part2.size(), 44100u * 2);
    EXPECT_NEAR(rms(part2, 4096, part2.size() - 4096), 0.3535, 0.02); // the 440 Hz tone at half scale
}

TEST_F(CapturePulse, AMicrophoneThatGoesAwayRebuildsOntoTheNextDefault) {
    const std::string module = "module-sine-source source_name=sine2 frequency=660";
    ASSERT_EQ(shell("pactl load-module " + module + " > '" + (dir.path() / "module").string() + "'"), 0);
    ASSERT_EQ(pactl("set-default-source sine2"), 0);
    LiveDetector live;
    ASSERT_EQ(live.detector->start(std::nullopt), std::nullopt);
    pumpFor(6s);
    const auto readyBefore = count(live.events, "audio_analysis_ready");
    ASSERT_EQ(pactl("unload-module $(cat '" + (dir.path() / "module").string() + "')"), 0);
    ASSERT_TRUE(pumpUntil([&] { return count(live.events, "audio_analysis_ready") > readyBefore; }, 5s))
        << "capture did not go on";
    pumpFor(2s);
    EXPECT_EQ(count(live.events, "audio_pipeline_restart_begin"), 1u);
    EXPECT_EQ(live.events.named("audio_input").front()["device_uid"], "sine2");
    const auto now = live.events.named("audio_input").back()["device_uid"].get<std::string>();
    EXPECT_NE(now, "sine2");
    EXPECT_EQ(shell("pactl info | grep -q 'Default Source: " + now + "'"), 0);
}

TEST_F(CapturePulse, ASoundServerKilledAndStartedAgainIsSurvived) {
    ASSERT_EQ(pactl("set-default-source sine"), 0);
    LiveDetector live;
    ASSERT_EQ(live.detector->start(recording), std::nullopt);
    pumpFor(6s);
    const std::string pid = readFile(std::getenv("MIRL_TESTENV_PULSE_PIDFILE"));
    ASSERT_EQ(shell("kill -9 " + pid), 0);
    ASSERT_TRUE(pumpUntil([&] { return count(live.events, "audio_pipeline_restart_failed") > 0; }, 10s));
    EXPECT_TRUE(live.detector->isRunning());
    pumpFor(3s);
    ASSERT_EQ(shell(std::string(std::getenv("MIRL_TESTENV_PULSE_START")) + " >/dev/null 2>&1"), 0);
    const auto readyBefore = count(live.events, "audio_analysis_ready");
    ASSERT_TRUE(pumpUntil([&] { return count(live.events, "audio_analysis_ready") > readyBefore; }, 30s))
        << "capture did not resume";
    EXPECT_EQ(live.events.named("audio_pipeline_restart_failed").at(0)["error"],
              "the sound server is not reachable");
    // Once the new server has settled (it came up with its own default source), the pipeline
    // follows a change again.
    for (int i = 0; i < 10; ++i) {
        const auto rebuilds = count(live.events, "audio_pipeline_restart_begin");
        pumpFor(2s);
        if (count(live.events, "audio_pipeline_restart_begin") == rebuilds)
            break;
    }
    const auto okBefore = count(live.events, "audio_pipeline_restart_ok");
    ASSERT_EQ(pactl("set-default-source sine"), 0);
    ASSERT_TRUE(pumpUntil([&] { return count(live.events, "audio_pipeline_restart_ok") > okBefore; }, 5s));
    pumpFor(3s);
    EXPECT_EQ(live.events.named("audio_input").back()["device_uid"], "sine");
    const int lastPart = live.detector->recordingPartIndex();
    live.detector->stop();

    const auto last = readAllSequentially(
        dir.path() / ("audio-2026-12-05-2253-part" + std::to_string(lastPart + 1) + ".m4a"));
    ASSERT_GT(last.size(), 44100u * 2);
    EXPECT_NEAR(rms(last, 4096, last.size() - 4096), 0.3535, 0.02); // the tone, heard again
}

TEST(InputDevicesPulse, ListFindAndSwitchTheDefaultSource) {
    ensureQtCore();
    QtScheduler scheduler;
    PulseAudioControl audio(scheduler);
    PulseInputDevices inputs(audio);
    ASSERT_EQ(pactl("set-default-source mic"), 0);
    pumpFor(300ms);

    const auto devices = inputs.inputDevices();
    std::vector<std::string> uids;
    for (const auto& d : devices)
        uids.push_back(d.uid);
    EXPECT_EQ(uids, (std::vector<std::string>{"mic", "sine", "pipe", "paced"})); // no monitors
    const auto mic = inputs.findInputDevice("mic");
    const auto sine = inputs.findInputDevice("sine");
    ASSERT_TRUE(mic && sine);
    EXPECT_FALSE(inputs.findInputDevice("spk.monitor"));
    EXPECT_FALSE(inputs.findInputDevice(""));
    EXPECT_EQ(inputs.defaultInputDevice(), mic);
    EXPECT_NE(mic->name, mic->uid); // the description, not the name

    EXPECT_EQ(inputs.setDefaultInputDevice(*sine), mic->id);
    EXPECT_EQ(inputs.defaultInputDevice(), sine);
    EXPECT_EQ(shell("pactl info | grep -q 'Default Source: sine'"), 0);

    // A device that went away cannot be made the default.
    const AudioInputDevice gone{4242, "Gone", "gone"};
    EXPECT_EQ(inputs.setDefaultInputDevice(gone), std::nullopt);
    EXPECT_EQ(inputs.defaultInputDevice(), sine);
    ASSERT_EQ(pactl("set-default-source mic"), 0);
}
