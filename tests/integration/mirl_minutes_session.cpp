// testenv: --pulse --xorg --system-bus
// testmain: qt
// timeout: 300
// `mirl --minutes 2` as a user runs it, against a real PulseAudio daemon, an Xorg server with the
// dummy driver (exact gamma ramps) and python3-dbusmock's logind recording Suspend (the real one
// is never called): the volume and the gamma fade during the session, logind is asked to suspend
// exactly once at the end, and the volume and the ramps are as they were before.

#include "tests/support/DBusMock.h"
#include "tests/support/DesktopReadings.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/SessionLogLines.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/login1");

using test::redRamp;
using test::setSinkVolume;
using test::sinkVolume;

} // namespace

TEST(MirlMinutesSession, FadesVolumeAndGammaSuspendsOnceAndPutsThemBack) {
    test::DBusMock logind(test::DBusMock::Bus::system,
                          {QStringLiteral("--template"), QStringLiteral("logind")},
                          QStringLiteral("org.freedesktop.login1"));
    ASSERT_TRUE(logind.ok()) << logind.error();

    const QString config = QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CONFIG_HOME"));
    ASSERT_FALSE(config.isEmpty());
    QDir().mkpath(config + QStringLiteral("/Mirl"));
    std::ofstream(QString(config + QStringLiteral("/Mirl/Mirl.conf")).toStdString())
        << "[General]\nmode.timer_mode=night\n";
    setSinkVolume(60);
    ASSERT_EQ(sinkVolume(), 60);
    const auto originalRamp = redRamp();
    ASSERT_FALSE(originalRamp.empty()) << "the Xorg test display has no gamma ramp";

    QProcess mirl;
    mirl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mirl.start(QString::fromUtf8(MIRL_BINARY_DIR) + QStringLiteral("/bin/mirl"),
               {QStringLiteral("--minutes"), QStringLiteral("2")});
    ASSERT_TRUE(mirl.waitForStarted(10000));

    // Watch the session from outside, once a second.
    int lowestVolume = 100;
    std::uint16_t lowestTop = originalRamp.back();
    const auto started = std::chrono::steady_clock::now();
    while (mirl.state() != QProcess::NotRunning && std::chrono::steady_clock::now() - started < 200s) {
        test::pumpFor(1000ms);
        if (mirl.state() == QProcess::NotRunning || std::chrono::steady_clock::now() - started > 118s)
            continue; // from the end on the restore is under way
        lowestVolume = std::min(lowestVolume, sinkVolume());
        const auto ramp = redRamp();
        if (!ramp.empty())
            lowestTop = std::min(lowestTop, ramp.back());
    }
    ASSERT_EQ(mirl.state(), QProcess::NotRunning) << "mirl did not end after its session";
    const QString out = QString::fromUtf8(mirl.readAllStandardOutput());
    EXPECT_EQ(mirl.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mirl.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Mirl: night timer of 2 minutes"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Mirl will soon put the computer to sleep")))
        << out.toStdString();

    EXPECT_LE(lowestVolume, 40) << "the volume fades from 60 towards 21 over the two minutes";
    EXPECT_LT(lowestTop, originalRamp.back() * 0.8) << "the gamma ramps dim";

    int suspends = 0;
    for (const auto& call : logind.recordedCalls(kPath))
        suspends += call.method == QStringLiteral("Suspend");
    EXPECT_EQ(suspends, 1);

    EXPECT_EQ(sinkVolume(), 60);
    EXPECT_EQ(redRamp(), originalRamp);

    const QString data = QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_DATA_HOME"));
    const auto logs = test::sessionLogs(data.toStdString() + "/Mirl");
    ASSERT_EQ(logs.size(), 1u);
    const auto names = test::eventNames(test::readLogRecords(logs.front()));
    EXPECT_EQ(names.front(), "session_start");
    EXPECT_NE(std::find(names.begin(), names.end(), "timer_started"), names.end());
}
