#include "platform/linux/InhibitorSources.h"

#include "platform/linux/DBusCall.h"

#include <QDBusArgument>
#include <QDBusObjectPath>

namespace mirl {

namespace {

// Enumerating GNOME's inhibitors takes three calls each; a session rarely holds more than a
// handful, and the bound keeps a misbehaving service from holding the main thread.
constexpr int kMaxGnomeInhibitors = 16;

bool sameApp(const std::string& who, const std::string& own) {
    return !own.empty() &&
           QString::fromStdString(who).compare(QString::fromStdString(own), Qt::CaseInsensitive) == 0;
}

} // namespace

bool logindInhibitorCounts(std::string_view what, std::string_view mode, pid_t pid, pid_t ownPid) {
    if (mode != "block" || pid == ownPid)
        return false;
    while (!what.empty()) {
        const auto colon = what.find(':');
        if (what.substr(0, colon) == "idle")
            return true;
        if (colon == std::string_view::npos)
            break;
        what.remove_prefix(colon + 1);
    }
    return false;
}

std::optional<std::vector<MediaInhibitor>> LogindInhibitors::displayInhibitors() {
    auto reply =
        dbus::call(QDBusConnection::systemBus(), QStringLiteral("org.freedesktop.login1"),
                   QStringLiteral("/org/freedesktop/login1"),
                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
    if (!reply || reply->arguments().isEmpty() || reply->signature() != QLatin1String("a(ssssuu)"))
        return std::nullopt;
    const auto arg = reply->arguments().constFirst().value<QDBusArgument>();
    std::vector<MediaInhibitor> out;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString what, who, why, mode;
        uint uid = 0, pid = 0;
        arg.beginStructure();
        arg >> what >> who >> why >> mode >> uid >> pid;
        arg.endStructure();
        if (logindInhibitorCounts(what.toStdString(), mode.toStdString(), static_cast<pid_t>(pid), ownPid_))
            out.push_back({name(), who.toStdString(), why.toStdString(), static_cast<pid_t>(pid)});
    }
    arg.endArray();
    return out;
}

std::optional<std::vector<MediaInhibitor>> GnomeSessionInhibitors::displayInhibitors() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.gnome.SessionManager");
    auto reply = dbus::call(bus, service, QStringLiteral("/org/gnome/SessionManager"),
                            QStringLiteral("org.gnome.SessionManager"), QStringLiteral("GetInhibitors"));
    if (!reply || reply->arguments().isEmpty() || reply->signature() != QLatin1String("ao"))
        return std::nullopt;
    QList<QDBusObjectPath> paths;
    const QVariant list = reply->arguments().constFirst();
    if (list.userType() == qMetaTypeId<QDBusArgument>())
        list.value<QDBusArgument>() >> paths;
    else
        paths = qvariant_cast<QList<QDBusObjectPath>>(list);

    const QString iface = QStringLiteral("org.gnome.SessionManager.Inhibitor");
    std::vector<MediaInhibitor> out;
    int examined = 0;
    for (const auto& path : paths) {
        if (++examined > kMaxGnomeInhibitors)
            break;
        const auto flags = dbus::callForValue(bus, service, path.path(), iface, QStringLiteral("GetFlags"));
        if (!flags)
            continue; // gone meanwhile, or not answering
        if ((flags->toUInt() & kGnomeInhibitIdle) == 0)
            continue;
        const auto appId = dbus::callForValue(bus, service, path.path(), iface, QStringLiteral("GetAppId"));
        const auto reason = dbus::callForValue(bus, service, path.path(), iface, QStringLiteral("GetReason"));
        MediaInhibitor inhibitor{name(), appId ? appId->toString().toStdString() : std::string(),
                                 reason ? reason->toString().toStdString() : std::string(), std::nullopt};
        if (!sameApp(inhibitor.who, ownAppId_))
            out.push_back(std::move(inhibitor));
    }
    return out;
}

std::optional<std::vector<MediaInhibitor>> KdeInhibitions::displayInhibitors() {
    auto reply = dbus::call(QDBusConnection::sessionBus(), QStringLiteral("org.kde.Solid.PowerManagement"),
                            QStringLiteral("/org/kde/Solid/PowerManagement/PolicyAgent"),
                            QStringLiteral("org.kde.Solid.PowerManagement.PolicyAgent"),
                            QStringLiteral("ListInhibitions"));
    if (!reply || reply->arguments().isEmpty() || reply->signature() != QLatin1String("a(ss)"))
        return std::nullopt;
    const auto arg = reply->arguments().constFirst().value<QDBusArgument>();
    std::vector<MediaInhibitor> out;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString who, why;
        arg.beginStructure();
        arg >> who >> why;
        arg.endStructure();
        if (!sameApp(who.toStdString(), ownAppId_))
            out.push_back({name(), who.toStdString(), why.toStdString(), std::nullopt});
    }
    arg.endArray();
    return out;
}

} // namespace mirl
