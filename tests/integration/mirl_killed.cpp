// testenv: --pulse --xorg --system-bus
// testmain: qt
// timeout: 300
// `mirl --minutes N` killed with SIGKILL, as a crash or the out-of-memory killer would end it:
// mid-fade, the volume and the gamma ramps stay changed until the next launch of mirl puts
// them back; while recording, the recording decodes up to about the last second before the
// kill. Against a real PulseAudio daemon, an Xorg server with exact gamma ramps and a logind
// stand-in (Suspend recorded, never real).

#include "platform/AudioFileReader.h"
#include "tests/support/DBusMock.h"
#include "tests/support/DesktopReadings.h"
#include "tests/support/QtEventLoop.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace mirl;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using test::redRamp;
using test::sinkVolume;

std::string env(const char* name) {
    return QProcessEnvironment::systemEnvironment().value(QString::fromLatin1(name)).toStdString();
}

void pactl(const QStringList& args) {
    QProcess::execute(QStringLiteral("pactl"), args);
}

/// Pumps events until `done` or the time is out.
bool waitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        test::pumpFor(250ms);
    }
    return done();
}

class MirlKilled : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(logind.ok()) << logind.error();
        const fs::path config = env("XDG_CONFIG_HOME");
        ASSERT_FALSE(config.empty());
        fs::create_directories(config / "Mirl");
        settings = config / "Mirl" / "Mirl.conf";
    }
    void TearDown() override {
        for (QProcess* p : {&mirl, &relaunch})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
    }

    void start(QProcess& process, const QStringList& args,
               QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
        process.setProcessChannelMode(channels);
        process.start(QString::fromUtf8(MIRL_BINARY_DIR) + QStringLiteral("/bin/mirl"), args);
        ASSERT_TRUE(process.waitForStarted(10000));
    }
    void killNine(QProcess& process) {
        process.kill(); // SIGKILL: no handler runs
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    }

    test::DBusMock logind{test::DBusMock::Bus::system,
                          {QStringLiteral("--template"), QStringLiteral("logind")},
                          QStringLiteral("org.freedesktop.login1")};
    fs::path settings;
    QProcess mirl, relaunch;
};

} // namespace

TEST_F(MirlKilled, MidFadeTheNextLaunchPutsTheVolumeAndTheGammaBack) {
    std::ofstream(settings) << "[General]\nmode.timer_mode=night\n";
    test::setSinkVolume(60);
    ASSERT_EQ(sinkVolume(), 60);
    const auto originalRamp = redRamp();
    ASSERT_FALSE(originalRamp.empty()) << "the Xorg test display has no gamma ramp";

    start(mirl, {QStringLiteral("--minutes"), QStringLiteral("2")});
    // Well into the fade: both the volume and the ramps have moved.
    ASSERT_TRUE(waitFor(
        [&] {
            const auto ramp = redRamp();
            return sinkVolume() <= 52 && !ramp.empty() && ramp.back() < originalRamp.back() * 0.93;
        },
        90s))
        << "the fade did not start: volume " << sinkVolume();
    killNine(mirl);
    const int leftVolume = sinkVolume();
    EXPECT_LT(leftVolume, 60) << "nothing was left changed: the kill came too late";
    EXPECT_NE(redRamp(), originalRamp);
    const fs::path state = fs::path(env("XDG_STATE_HOME")) / "Mirl" / "restore-state.json";
    ASSERT_TRUE(fs::is_regular_file(state)) << "the killed run left no record of what it changed";

    // The next launch puts back what the killed process had changed, and says so.
    start(relaunch, {}, QProcess::MergedChannels);
    EXPECT_TRUE(waitFor([&] { return sinkVolume() == 60 && redRamp() == originalRamp; }, 30s))
        << "volume " << sinkVolume() << " (left at " << leftVolume << ")";
    if (relaunch.state() != QProcess::NotRunning)
        relaunch.terminate();
    relaunch.waitForFinished(10000);
    const QString said = QString::fromUtf8(relaunch.readAllStandardOutput());
    EXPECT_TRUE(said.contains(QStringLiteral("put back the volume"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("put back the gamma"))) << said.toStdString();
    EXPECT_TRUE(waitFor([&] { return !fs::exists(state); }, 5s)) << "the restore state outlived the restore";
}

TEST_F(MirlKilled, WhileRecordingTheRecordingDecodesToAboutTheLastSecond) {
    // A 440 Hz tone as the microphone, and recording switched on.
    pactl({QStringLiteral("load-module"), QStringLiteral("module-sine-source"),
           QStringLiteral("source_name=tone"), QStringLiteral("frequency=440")});
    pactl({QStringLiteral("set-default-source"), QStringLiteral("tone")});
    std::ofstream(settings) << "[General]\nmode.timer_mode=nap\ndetector.recording_enabled=true\n";

    start(mirl, {QStringLiteral("--minutes"), QStringLiteral("10")});
    const fs::path recordings = fs::path(env("XDG_DATA_HOME")) / "Mirl" / "recordings";
    fs::path recording;
    ASSERT_TRUE(waitFor(
        [&] {
            std::error_code ec;
            for (fs::directory_iterator it(recordings, ec), end; !ec && it != end; it.increment(ec))
                if (it->path().extension() == ".m4a" && fs::file_size(it->path(), ec) > 0)
                    recording = it->path();
            return !recording.empty();
        },
        60s))
        << "no recording appeared";
    const auto recordingSeen = std::chrono::steady_clock::now();
    test::pumpFor(8s);
    const double recordedAtLeast =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - recordingSeen).count();
    killNine(mirl);

    auto opened = openAudioFile(recording);
    ASSERT_TRUE(opened.reader) << opened.error;
    std::int64_t frames = 0;
    double energy = 0;
    for (;;) {
        const auto samples = opened.reader->read(frames, 16384);
        if (samples.empty())
            break;
        for (float x : samples)
            energy += static_cast<double>(x) * x;
        frames += static_cast<std::int64_t>(samples.size());
    }
    const double seconds = static_cast<double>(frames) / opened.reader->sampleRate();
    // All but about the last second (the writer closes a fragment every second).
    EXPECT_GE(seconds, recordedAtLeast - 1.5) << recording;
    EXPECT_GT(energy / std::max<std::int64_t>(frames, 1), 1e-4) << "the tone is not in the recording";
}
