#include "platform/linux/LogindPower.h"

#include "platform/linux/Logind.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace mirl {

LogindPower::LogindPower(Power& fallback, Console& console) : fallback_(fallback), console_(console) {}

std::optional<std::string> LogindPower::suspend() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(logind::service).value())
        return fallback_.suspend();
    QDBusMessage call = QDBusMessage::createMethodCall(logind::service, logind::managerPath,
                                                       logind::managerInterface, QStringLiteral("Suspend"));
    call.setArguments({false});
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), &context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                     [this](QDBusPendingCallWatcher* w) {
                         const QDBusPendingReply<> reply = *w;
                         if (reply.isError())
                             fallBack(reply.error().message().toStdString());
                         w->deleteLater();
                     });
    return std::nullopt;
}

void LogindPower::fallBack(const std::string& why) {
    console_.line("Mirl: logind refused to suspend (" + why + "); trying systemctl suspend");
    if (auto failure = fallback_.suspend())
        console_.line("Mirl: suspend failed: " + *failure);
}

} // namespace mirl
