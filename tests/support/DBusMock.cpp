#include "tests/support/DBusMock.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QThread>

#include <chrono>

namespace mirl::test {

void ensureQtCore() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "mirl-test";
    static char* argv[] = {name, nullptr};
    // Lives for the rest of the test process.
    new QCoreApplication(argc, argv);
}

QString systemPython() {
    return QStringLiteral("/usr/bin/python3");
}

DBusMock::DBusMock(Bus bus, const QStringList& args, const QString& serviceName)
    : bus_(bus), service_(serviceName) {
    ensureQtCore();
    if (!connection().isConnected()) {
        error_ = std::string("the private ") + (bus == Bus::system ? "system" : "session") +
                 " bus is not reachable (is the test environment's D-Bus option given?)";
        return;
    }
    QStringList all{QStringLiteral("-m"), QStringLiteral("dbusmock")};
    if (bus == Bus::system)
        all << QStringLiteral("--system");
    all << args;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(systemPython(), all);
    if (!process_.waitForStarted(5000)) {
        error_ = "python3-dbusmock could not start: " + process_.errorString().toStdString();
        return;
    }
    // Polled with a bounded wait: the mock registers its name once it has loaded.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!connection().interface()->isServiceRegistered(service_).value()) {
        if (process_.state() != QProcess::Running) {
            error_ = "python3-dbusmock exited early (" + service_.toStdString() + ")";
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "python3-dbusmock did not register " + service_.toStdString() + " within 10 s";
            return;
        }
        QThread::msleep(20);
    }
}

DBusMock::~DBusMock() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
    // A mock of the same service started next must not find this one's name still on the bus.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (connection().interface()->isServiceRegistered(service_).value() &&
           std::chrono::steady_clock::now() < deadline)
        QThread::msleep(20);
}

QDBusConnection DBusMock::connection() const {
    return bus_ == Bus::system ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
}

std::optional<QVariantList> DBusMock::control(const QString& path, const QString& method,
                                              const QVariantList& args) {
    auto message =
        QDBusMessage::createMethodCall(service_, path, QStringLiteral("org.freedesktop.DBus.Mock"), method);
    message.setArguments(args);
    const auto reply = connection().call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        error_ = "mock call " + method.toStdString() + " failed: " + reply.errorMessage().toStdString();
        return std::nullopt;
    }
    return reply.arguments();
}

std::vector<DBusMock::Call> DBusMock::recordedCalls(const QString& path) {
    std::vector<Call> calls;
    const auto reply = control(path, QStringLiteral("GetCalls"), {});
    if (!reply || reply->isEmpty())
        return calls;
    const QDBusArgument arg = reply->at(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        quint64 stamp = 0;
        Call call;
        arg.beginStructure();
        arg >> stamp >> call.method >> call.args;
        arg.endStructure();
        calls.push_back(std::move(call));
    }
    arg.endArray();
    return calls;
}

} // namespace mirl::test
