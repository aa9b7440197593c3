// testenv: --dbus --system-bus
// timeout: 120
// The media-playback probe against D-Bus peers: a logind stand-in on the private system bus
// that records real pids, another process holding an inhibition, our own inhibition, and the
// GNOME and KDE desktop inhibitor services on the session bus.

#include "platform/linux/InhibitorSources.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "tests/support/DBusMock.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

using namespace mirl;
using namespace mirl::test;

namespace {

QString mockFile(const char* name) {
    return QString::fromUtf8(MIRL_SOURCE_DIR) + QStringLiteral("/tests/integration/mocks/") +
           QString::fromUtf8(name);
}

/// Probes with only the given inhibitor source.
LinuxActivityProbes probesWith(std::unique_ptr<InhibitorSource> source) {
    std::vector<std::unique_ptr<InhibitorSource>> inhibitors;
    inhibitors.push_back(std::move(source));
    return LinuxActivityProbes({}, std::move(inhibitors), {});
}

/// Another process holding a logind inhibition until the object goes.
class InhibitingPeer {
public:
    InhibitingPeer(const QString& what, const QString& mode) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(systemPython(), {mockFile("inhibit_peer.py"), what, QStringLiteral("mpv"),
                                        QStringLiteral("Playing a video"), mode});
        held_ = process_.waitForStarted(5000) && process_.waitForReadyRead(10000) &&
                process_.readAllStandardOutput().startsWith("held");
    }
    ~InhibitingPeer() { release(); }
    void release() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(1000);
    }
    bool held() const { return held_; }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
    bool held_ = false;
};

/// Takes a logind inhibition from this very process, held while the descriptor lives.
QDBusUnixFileDescriptor inhibitOurselves() {
    auto message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    message << QStringLiteral("idle") << QStringLiteral("mirl") << QStringLiteral("our own")
            << QStringLiteral("block");
    const auto reply = QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
}

int logindInhibitorCount() {
    auto message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
    const auto reply = QDBusConnection::systemBus().call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    const auto arg = reply.arguments().constFirst().value<QDBusArgument>();
    int n = 0;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString a, b, c, d;
        uint u = 0, p = 0;
        arg.beginStructure();
        arg >> a >> b >> c >> d >> u >> p;
        arg.endStructure();
        ++n;
    }
    arg.endArray();
    return n;
}

QString jsonParameters(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

TEST(MediaProbe, LogindInhibitionOfAnotherProcessCountsOursDoesNot) {
    DBusMock logind(DBusMock::Bus::system, {QStringLiteral("--template"), mockFile("logind_inhibit.py")},
                    QStringLiteral("org.freedesktop.login1"));
    ASSERT_TRUE(logind.ok()) << logind.error();
    LinuxActivityProbes probes; // the real composite: logind, GNOME, KDE

    auto idle = probes.readMedia();
    EXPECT_FALSE(idle.active);
    EXPECT_EQ(idle.answered, std::vector<std::string>{"logind"});

    // Our own idle inhibition is listed by logind but never counts.
    const auto own = inhibitOurselves();
    ASSERT_TRUE(own.isValid()) << "the logind stand-in refused our Inhibit call";
    ASSERT_EQ(logindInhibitorCount(), 1);
    EXPECT_FALSE(probes.isMediaPlaybackActive());

    // Inhibitions of another process that do not keep the display awake.
    {
        InhibitingPeer sleepOnly(QStringLiteral("sleep:shutdown"), QStringLiteral("block"));
        InhibitingPeer delay(QStringLiteral("idle"), QStringLiteral("delay"));
        ASSERT_TRUE(sleepOnly.held() && delay.held()) << "the inhibiting peer did not start";
        ASSERT_EQ(logindInhibitorCount(), 3);
        EXPECT_FALSE(probes.isMediaPlaybackActive());
    }

    InhibitingPeer player(QStringLiteral("sleep:idle"), QStringLiteral("block"));
    ASSERT_TRUE(player.held()) << "the inhibiting peer did not start";
    const auto playing = probes.readMedia();
    EXPECT_TRUE(playing.active);
    ASSERT_EQ(playing.inhibitors.size(), 1u);
    EXPECT_EQ(playing.inhibitors[0].who, "mpv");
    EXPECT_EQ(playing.inhibitors[0].why, "Playing a video");
    EXPECT_EQ(playing.inhibitors[0].source, "logind");
    ASSERT_TRUE(playing.inhibitors[0].pid);
    EXPECT_EQ(*playing.inhibitors[0].pid, player.pid());

    // Released: polled with a bound, as logind notices the closed descriptor asynchronously.
    player.release();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (probes.isMediaPlaybackActive() && std::chrono::steady_clock::now() < deadline)
        QThread::msleep(20);
    EXPECT_FALSE(probes.isMediaPlaybackActive());
}

TEST(MediaProbe, WithoutAnyServiceTheAnswerIsNoPlayback) {
    ensureQtCore();
    LinuxActivityProbes probes;
    const auto reading = probes.readMedia();
    EXPECT_FALSE(reading.active);
    EXPECT_TRUE(reading.answered.empty());
    EXPECT_EQ(reading.unanswered, (std::vector<std::string>{"logind", "gnome-session", "kde-policyagent"}));
}

TEST(MediaProbe, GnomeSessionInhibitorsWithTheIdleFlag) {
    const QJsonObject params{
        {"inhibitors", QJsonArray{QJsonArray{"org.videolan.VLC", "Playing media", 8},
                                  QJsonArray{"org.gnome.Nautilus", "Copying files", 4 | 1},
                                  QJsonArray{"Mirl", "our own", 8}, QJsonArray{"firefox", "video", 4 | 8}}}};
    DBusMock session(DBusMock::Bus::session,
                     {QStringLiteral("--template"), mockFile("gnome_session_inhibitors.py"),
                      QStringLiteral("--parameters"), jsonParameters(params)},
                     QStringLiteral("org.gnome.SessionManager"));
    ASSERT_TRUE(session.ok()) << session.error();
    auto probes = probesWith(std::make_unique<GnomeSessionInhibitors>("mirl"));
    const auto reading = probes.readMedia();
    EXPECT_TRUE(reading.active);
    ASSERT_EQ(reading.inhibitors.size(), 2u) << "the idle flag counts; suspend-only and our own do not";
    EXPECT_EQ(reading.inhibitors[0].who, "org.videolan.VLC");
    EXPECT_EQ(reading.inhibitors[0].why, "Playing media");
    EXPECT_EQ(reading.inhibitors[1].who, "firefox");
    EXPECT_FALSE(reading.inhibitors[0].pid);
}

TEST(MediaProbe, KdePolicyAgentInhibitions) {
    const QJsonObject params{
        {"inhibitions", QJsonArray{QJsonArray{"mirl", "our own"}, QJsonArray{"Haruna", "Playing a video"}}}};
    DBusMock agent(DBusMock::Bus::session,
                   {QStringLiteral("--template"), mockFile("kde_policy_agent.py"),
                    QStringLiteral("--parameters"), jsonParameters(params)},
                   QStringLiteral("org.kde.Solid.PowerManagement"));
    ASSERT_TRUE(agent.ok()) << agent.error();
    auto probes = probesWith(std::make_unique<KdeInhibitions>("mirl"));
    const auto reading = probes.readMedia();
    EXPECT_TRUE(reading.active);
    ASSERT_EQ(reading.inhibitors.size(), 1u);
    EXPECT_EQ(reading.inhibitors[0].who, "Haruna");

    // An agent that lists only our own inhibition answers "no playback".
    ASSERT_TRUE(agent.control(QStringLiteral("/org/kde/Solid/PowerManagement/PolicyAgent"),
                              QStringLiteral("AddMethod"),
                              {QStringLiteral("org.kde.Solid.PowerManagement.PolicyAgent"),
                               QStringLiteral("ListInhibitions"), QString(), QStringLiteral("a(ss)"),
                               QStringLiteral("ret = dbus.Array([('mirl', 'our own')], signature='(ss)')")}))
        << agent.error();
    const auto ours = probes.readMedia();
    EXPECT_FALSE(ours.active);
    EXPECT_EQ(ours.answered, std::vector<std::string>{"kde-policyagent"});
}
