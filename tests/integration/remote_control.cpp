// testenv: --dbus
// testmain: qt
// timeout: 120
// Control from outside: a running instance publishes itself on the session bus; the verbs of a
// second `mirl` (the real program, in its own process) reach it, and without an instance they
// say so with status 1; `mirl --preferences` and `mirl review` open the instance's own windows.
// (A second instance handing over is in tray_end_to_end.)

#include "ui/shell/RemoteControl.h"

#include "tests/support/QtEventLoop.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QProcess>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs the mirl program with args while this process's event loop keeps answering the bus.
Outcome runMirl(const QStringList& args) {
    QProcess process;
    process.start(QString::fromUtf8(MIRL_BINARY_DIR) + QStringLiteral("/bin/mirl"), args);
    EXPECT_TRUE(process.waitForStarted(5000));
    EXPECT_TRUE(test::pumpUntil([&] { return process.state() == QProcess::NotRunning; }, 20s))
        << "mirl " << args.join(QLatin1Char(' ')).toStdString() << " did not finish";
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

class RemoteControlTest : public ::testing::Test {
protected:
    RemoteControlTest() {
        handlers.start = [this](int m) { calls.push_back("start " + std::to_string(m)); };
        handlers.extend = [this](int m) { calls.push_back("extend " + std::to_string(m)); };
        handlers.cancel = [this] { calls.push_back("cancel"); };
        handlers.activate = [this] { calls.push_back("activate"); };
        handlers.showPreferences = [this] { calls.push_back("preferences"); };
        handlers.showReview = [this] { calls.push_back("review"); };
        handlers.status = [this] { return status; };
    }

    remote::Handlers handlers;
    std::vector<std::string> calls;
    RemoteStatus status{true, 659, "10:59", "night", "asleep", 12.25};
};

} // namespace

TEST_F(RemoteControlTest, VerbsReachTheRunningInstance) {
    remote::Service service(handlers);
    QString why;
    ASSERT_TRUE(service.publish(&why)) << why.toStdString();

    EXPECT_EQ(runMirl({"start", "30"}).status, 0);
    EXPECT_EQ(runMirl({"extend", "+10"}).status, 0);
    EXPECT_EQ(runMirl({"cancel"}).status, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"start 30", "extend 10", "cancel"}));

    const Outcome json = runMirl({"status", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["running"], true);
    EXPECT_EQ(parsed["remaining_sec"], 659);
    EXPECT_EQ(parsed["mode"], "night");
    EXPECT_EQ(parsed["phase"], "asleep");
    EXPECT_DOUBLE_EQ(parsed["breath_rpm"].get<double>(), 12.3);

    const Outcome text = runMirl({"status"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out.rfind("10:59 left (Night)\n", 0), 0u) << text.out;
}

TEST_F(RemoteControlTest, PreferencesAndReviewOpenInTheRunningInstance) {
    remote::Service service(handlers);
    ASSERT_TRUE(service.publish());
    const Outcome preferences = runMirl({"--preferences"});
    EXPECT_EQ(preferences.status, 0) << preferences.err;
    EXPECT_NE(preferences.out.find("already running"), std::string::npos) << preferences.out;
    const Outcome review = runMirl({"review"});
    EXPECT_EQ(review.status, 0) << review.err;
    EXPECT_EQ(calls, (std::vector<std::string>{"preferences", "review"}));
}

TEST_F(RemoteControlTest, AnInstanceWithoutTheWindowSaysSoToItsCaller) {
    handlers.showPreferences = nullptr;
    remote::Service service(handlers);
    ASSERT_TRUE(service.publish());
    QString error;
    EXPECT_EQ(remote::call(QStringLiteral("ShowPreferences"), {}, nullptr, &error),
              remote::CallResult::failed);
    EXPECT_NE(error.indexOf(QStringLiteral("no preferences window")), -1) << error.toStdString();
    EXPECT_FALSE(remote::presentInRunningInstance(QStringLiteral("ShowPreferences")));
    EXPECT_TRUE(calls.empty());
}

TEST_F(RemoteControlTest, MalformedVerbsNeverReachTheInstance) {
    remote::Service service(handlers);
    ASSERT_TRUE(service.publish());
    for (const QStringList& args :
         {QStringList{"start"}, QStringList{"start", "0"}, QStringList{"start", "2h"},
          QStringList{"extend", "1441"}, QStringList{"cancel", "now"}, QStringList{"status", "--yaml"}}) {
        const Outcome run = runMirl(args);
        EXPECT_EQ(run.status, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_NE(run.err.find("mirl start MINUTES"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(RemoteControlTest, TheInstanceRefusesMinutesOutOfRangeFromAnyCaller) {
    remote::Service service(handlers);
    ASSERT_TRUE(service.publish());
    // Another connection, as a script calling the bus directly would.
    QDBusConnection other =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("script"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(remote::kService), QString::fromLatin1(remote::kPath),
        QString::fromLatin1(remote::kInterface), QStringLiteral("Start"));
    call << 0;
    QDBusPendingCall pending = other.asyncCall(call);
    ASSERT_TRUE(test::pumpUntil([&] { return pending.isFinished(); }, 10s));
    EXPECT_TRUE(pending.isError());
    EXPECT_EQ(pending.error().name(), QStringLiteral("org.mirl.Mirl.InvalidMinutes"));
    EXPECT_TRUE(calls.empty());
    QDBusConnection::disconnectFromBus(QStringLiteral("script"));
}

TEST_F(RemoteControlTest, TheLaunchClaimsTheNameBeforeItExportsTheObject) {
    remote::NameClaim claim;
    ASSERT_EQ(claim.result(), remote::NameClaim::Result::owned) << claim.why().toStdString();
    remote::Service service(handlers);
    ASSERT_TRUE(service.exportObject());
    EXPECT_EQ(runMirl({"cancel"}).status, 0);
    EXPECT_EQ(calls, std::vector<std::string>{"cancel"});
}

TEST_F(RemoteControlTest, VerbsWithoutAnInstanceSaySo) {
    {
        remote::Service first(handlers);
        ASSERT_TRUE(first.publish());
        EXPECT_TRUE(remote::instanceRunning());
    }
    ASSERT_TRUE(test::pumpUntil([] { return !remote::instanceRunning(); }, 5s));
    for (const QStringList& args :
         {QStringList{"start", "30"}, QStringList{"cancel"}, QStringList{"status"}}) {
        const Outcome run = runMirl(args);
        EXPECT_EQ(run.status, 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_NE(run.err.find("not running"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(calls.empty());
}
