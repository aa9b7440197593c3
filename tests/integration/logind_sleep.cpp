// testenv: --system-bus
// timeout: 120
// System sleep and suspend against python3-dbusmock's logind on the private system bus: the
// delay lock held from the start, released right after the will-sleep work and taken again at
// the wake; Suspend asked of logind, and systemctl's stand-in used when logind refuses or is
// not there.

#include "platform/fake/FakePower.h"
#include "platform/linux/LogindPower.h"
#include "platform/linux/LogindSleepWatch.h"
#include "tests/support/DBusMock.h"
#include "tests/support/QtEventLoop.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace mirl;

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

class LogindMock : public test::DBusMock {
public:
    LogindMock() : DBusMock(Bus::system, {QStringLiteral("--template"), QStringLiteral("logind")}, kLogind) {}

    /// The (what, who, mode) of the inhibitors logind lists now.
    std::vector<std::string> inhibitors() {
        std::vector<std::string> out;
        auto call =
            QDBusMessage::createMethodCall(kLogind, kPath, kManager, QStringLiteral("ListInhibitors"));
        const auto reply = connection().call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return out;
        const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            QString what, who, why, mode;
            quint32 uid = 0, pid = 0;
            arg.beginStructure();
            arg >> what >> who >> why >> mode >> uid >> pid;
            arg.endStructure();
            out.push_back((what + " " + who + " " + mode).toStdString());
        }
        arg.endArray();
        return out;
    }

    bool prepareForSleep(bool start) {
        return control(
                   kPath, QStringLiteral("EmitSignal"),
                   {kManager, QStringLiteral("PrepareForSleep"), QStringLiteral("b"), QVariantList{start}})
            .has_value();
    }

    int suspendCalls() {
        int n = 0;
        for (const Call& call : recordedCalls(kPath))
            n += call.method == QStringLiteral("Suspend");
        return n;
    }
};

/// Runs the event loop until done() or 5 s have passed.
bool waitFor(const std::function<bool()>& done) {
    return test::pumpUntil(done, std::chrono::seconds(5));
}

const std::vector<std::string> kHeld{"sleep Mirl delay"};

} // namespace

TEST(LogindSleep, TheDelayLockIsReleasedAfterWillSleepAndTakenAgainAtTheWake) {
    LogindMock logind;
    ASSERT_TRUE(logind.ok()) << logind.error();
    RecordingConsole console;
    std::vector<std::string> calls;
    LogindMock* mock = &logind;
    bool lockDuringWillSleep = false;
    LogindSleepWatch watch(
        [&] {
            calls.push_back("will sleep");
            lockDuringWillSleep = mock->inhibitors() == kHeld;
        },
        [&] { calls.push_back("did wake"); }, console);
    ASSERT_TRUE(watch.watching());
    EXPECT_TRUE(watch.holdsLock());
    EXPECT_EQ(logind.inhibitors(), kHeld);

    ASSERT_TRUE(logind.prepareForSleep(true));
    ASSERT_TRUE(waitFor([&] { return !calls.empty(); }));
    EXPECT_EQ(calls, std::vector<std::string>{"will sleep"});
    EXPECT_TRUE(lockDuringWillSleep) << "logind waits for us while the detectors stop";
    EXPECT_FALSE(watch.holdsLock());
    EXPECT_TRUE(waitFor([&] { return logind.inhibitors().empty(); }))
        << "the lock goes once the work is done";

    ASSERT_TRUE(logind.prepareForSleep(false));
    ASSERT_TRUE(waitFor([&] { return calls.size() == 2; }));
    EXPECT_EQ(calls.back(), "did wake");
    EXPECT_TRUE(watch.holdsLock());
    EXPECT_EQ(logind.inhibitors(), kHeld);
    EXPECT_TRUE(console.lines().empty());
}

TEST(LogindSleep, SuspendGoesToLogindAndFallsBackWhenItRefuses) {
    LogindMock logind;
    ASSERT_TRUE(logind.ok()) << logind.error();
    RecordingConsole console;
    FakePower systemctl;
    LogindPower power(systemctl, console);
    EXPECT_EQ(power.suspend(), std::nullopt);
    ASSERT_TRUE(waitFor([&] { return logind.suspendCalls() == 1; }));
    test::pumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(systemctl.suspendCalls, 0);

    // logind refuses (as without the right to suspend).
    ASSERT_TRUE(logind.control(kPath, QStringLiteral("AddMethod"),
                               {kManager, QStringLiteral("Suspend"), QStringLiteral("b"), QString(),
                                QStringLiteral("raise dbus.exceptions.DBusException('Not allowed', "
                                               "name='org.freedesktop.DBus.Error.AccessDenied')")}))
        << logind.error();
    systemctl.failure = "systemctl is not there";
    EXPECT_EQ(power.suspend(), std::nullopt);
    ASSERT_TRUE(waitFor([&] { return systemctl.suspendCalls == 1; }));
    const auto lines = console.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Mirl: logind refused to suspend (Not allowed); trying systemctl suspend");
    EXPECT_EQ(lines[1], "Mirl: suspend failed: systemctl is not there");
}

TEST(LogindSleep, WithoutLogindSystemctlSuspendsAndNothingIsWatched) {
    test::ensureQtCore();
    RecordingConsole console;
    FakePower systemctl;
    LogindPower power(systemctl, console);
    EXPECT_EQ(power.suspend(), std::nullopt);
    EXPECT_EQ(systemctl.suspendCalls, 1) << "at once, when logind is not on the bus";
    LogindSleepWatch watch([] {}, [] {}, console);
    EXPECT_FALSE(watch.holdsLock());
    EXPECT_EQ(console.lines().size(), 1u) << "said once";
}
