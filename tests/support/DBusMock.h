#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <string>
#include <vector>

namespace mirl::test {

/// Makes sure a QCoreApplication exists (D-Bus connections want one); tests without the Qt
/// test main call it first.
void ensureQtCore();

/// A python3-dbusmock service on the test environment's private session or system bus, stopped
/// with the object. ok() is false, and error() says why, when it did not come up within 10 s.
class DBusMock {
public:
    enum class Bus { session, system };

    /// args are dbusmock's own ("--template", "logind" or "NAME", "PATH", "INTERFACE");
    /// serviceName is the bus name whose appearance means the mock is ready.
    DBusMock(Bus bus, const QStringList& args, const QString& serviceName);
    ~DBusMock();
    DBusMock(const DBusMock&) = delete;
    DBusMock& operator=(const DBusMock&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    QDBusConnection connection() const;

    /// Calls a method of the mock control interface (org.freedesktop.DBus.Mock) at path and
    /// returns the reply's values; nothing, with error() set, when the call fails.
    std::optional<QVariantList> control(const QString& path, const QString& method, const QVariantList& args);

    struct Call {
        QString method;
        QVariantList args;
    };
    /// The calls the mock recorded on the object at path, oldest first; empty, with error() set,
    /// when asking fails.
    std::vector<Call> recordedCalls(const QString& path);

private:
    Bus bus_;
    QString service_;
    QProcess process_;
    std::string error_;
};

/// The python3 that has dbusmock (the system one, whatever PATH says).
QString systemPython();

} // namespace mirl::test
