// testenv: --x11 --dbus
// timeout: 120
// The idle-seconds probe: the X server's screen-saver idle time on Xvfb, reset by synthetic
// input, and the GNOME and KDE D-Bus idle monitors that stand in for it on Wayland.

#include "platform/linux/DBusIdleSources.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "platform/linux/X11IdleSource.h"
#include "tests/support/DBusMock.h"

#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

namespace {

bool xdotool(const QStringList& args) {
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

/// Probes without X11, as in a Wayland session.
LinuxActivityProbes waylandProbes() {
    ensureQtCore();
    LinuxActivityProbes::Options options;
    options.useX11 = false;
    return LinuxActivityProbes(options);
}

const QString kMutterPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kMutterInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");

/// GNOME's idle monitor as python3-dbusmock plays it.
class MutterMock : public DBusMock {
public:
    MutterMock()
        : DBusMock(Bus::session,
                   {QStringLiteral("org.gnome.Mutter.IdleMonitor"), kMutterPath, kMutterInterface},
                   QStringLiteral("org.gnome.Mutter.IdleMonitor")) {}

    /// Makes GetIdletime run `python` (dbusmock method code setting `ret`).
    bool answerIdletime(const QString& python) {
        return control(
                   kMutterPath, QStringLiteral("AddMethod"),
                   {kMutterInterface, QStringLiteral("GetIdletime"), QString(), QStringLiteral("t"), python})
            .has_value();
    }
};

} // namespace

TEST(IdleProbe, XScreenSaverIdleTimeIsResetByInput) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the test environment gave no X display";
    X11IdleSource x11;
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("100"), QStringLiteral("100")}))
        << "xdotool could not move the pointer";
    const auto justMoved = x11.idleSeconds();
    ASSERT_TRUE(justMoved) << "XScreenSaverQueryInfo gave nothing on Xvfb";
    EXPECT_LT(*justMoved, 1.0);

    // Idle time grows while nobody touches anything (polled, bounded).
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    double idle = *justMoved;
    while (idle < 1.0 && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(100);
        idle = x11.idleSeconds().value_or(0);
    }
    ASSERT_GE(idle, 1.0) << "idle time did not grow";

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift")}));
    const auto afterKey = x11.idleSeconds();
    ASSERT_TRUE(afterKey);
    EXPECT_LT(*afterKey, idle) << "a key press resets the idle time";
    EXPECT_LT(*afterKey, 1.0);

    // The composite takes the X server's answer first.
    ensureQtCore();
    LinuxActivityProbes::Options options;
    options.useX11 = true;
    LinuxActivityProbes probes(options);
    const auto reading = probes.readIdle();
    EXPECT_EQ(reading.source, "x11-screensaver");
    EXPECT_GE(reading.seconds, 0.0);
    EXPECT_LT(reading.seconds, 60.0);
}

TEST(IdleProbe, GnomeIdleMonitorIsTheFirstFallback) {
    MutterMock mutter;
    ASSERT_TRUE(mutter.ok()) << mutter.error();
    ASSERT_TRUE(mutter.answerIdletime(QStringLiteral("ret = dbus.UInt64(754321)"))) << mutter.error();
    DBusMock kde(DBusMock::Bus::session,
                 {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver"),
                  QStringLiteral("org.freedesktop.ScreenSaver")},
                 QStringLiteral("org.freedesktop.ScreenSaver"));
    ASSERT_TRUE(kde.ok()) << kde.error();
    ASSERT_TRUE(
        kde.control(QStringLiteral("/ScreenSaver"), QStringLiteral("AddMethod"),
                    {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetSessionIdleTime"),
                     QString(), QStringLiteral("u"), QStringLiteral("ret = dbus.UInt32(9000)")}))
        << kde.error();

    auto probes = waylandProbes();
    auto reading = probes.readIdle();
    EXPECT_EQ(reading.source, "gnome-mutter");
    EXPECT_DOUBLE_EQ(reading.seconds, 754.321);

    // A monitor that errors hands over to the next one.
    ASSERT_TRUE(mutter.answerIdletime(QStringLiteral("raise dbus.exceptions.DBusException('broken', "
                                                     "name='org.freedesktop.DBus.Error.Failed')")));
    reading = probes.readIdle();
    EXPECT_EQ(reading.source, "kde-screensaver");
    EXPECT_DOUBLE_EQ(reading.seconds, 9.0);
}

TEST(IdleProbe, AHangingMonitorCostsOneShortTimeout) {
    MutterMock mutter;
    ASSERT_TRUE(mutter.ok()) << mutter.error();
    ASSERT_TRUE(mutter.answerIdletime(QStringLiteral("time.sleep(3); ret = dbus.UInt64(1)")));
    auto probes = waylandProbes();
    const auto start = std::chrono::steady_clock::now();
    const auto reading = probes.readIdle();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(reading.source, "") << "no other monitor runs here";
    EXPECT_EQ(probes.idleSeconds(), std::nullopt) << "the neutral answer: unknown";
    EXPECT_LT(took, 2s) << "the probe gave up long before the monitor answered";
}

TEST(IdleProbe, WithoutAnySourceTheIdleTimeIsUnknown) {
    auto probes = waylandProbes();
    const auto reading = probes.readIdle();
    EXPECT_EQ(reading.source, "");
    EXPECT_EQ(probes.idleSeconds(), std::nullopt);
}
