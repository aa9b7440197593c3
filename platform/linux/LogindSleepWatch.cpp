#include "platform/linux/LogindSleepWatch.h"

#include "platform/linux/DBusCall.h"
#include "platform/linux/Logind.h"

#include <QDBusConnection>

namespace mirl {

LogindSleepWatch::LogindSleepWatch(std::function<void()> willSleep, std::function<void()> didWake,
                                   Console& console)
    : willSleep_(std::move(willSleep)), didWake_(std::move(didWake)), console_(console) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected())
        watching_ = bus.connect(logind::service, logind::managerPath, logind::managerInterface,
                                QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    takeLock();
}

LogindSleepWatch::~LogindSleepWatch() {
    if (watching_)
        QDBusConnection::systemBus().disconnect(logind::service, logind::managerPath,
                                                logind::managerInterface, QStringLiteral("PrepareForSleep"),
                                                this, SLOT(prepareForSleep(bool)));
}

void LogindSleepWatch::takeLock() {
    if (lock_.isValid())
        return;
    const auto reply = dbus::call(QDBusConnection::systemBus(), logind::service, logind::managerPath,
                                  logind::managerInterface, QStringLiteral("Inhibit"),
                                  {QStringLiteral("sleep"), QStringLiteral("Mirl"),
                                   QStringLiteral("Stopping the sleep detectors before the computer sleeps"),
                                   QStringLiteral("delay")});
    if (reply && !reply->arguments().isEmpty())
        lock_ = qvariant_cast<QDBusUnixFileDescriptor>(reply->arguments().constFirst());
    if (!lock_.isValid() && !reportedNoLock_) {
        reportedNoLock_ = true;
        console_.line("Mirl: logind gives no sleep delay lock; the detectors may still run when the computer "
                      "goes to sleep");
    }
}

void LogindSleepWatch::prepareForSleep(bool start) {
    if (start) {
        if (willSleep_)
            willSleep_();
        lock_ = QDBusUnixFileDescriptor(); // closes our descriptor: logind may go on
        return;
    }
    takeLock();
    if (didWake_)
        didWake_();
}

} // namespace mirl
