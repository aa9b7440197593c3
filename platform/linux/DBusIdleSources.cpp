#include "platform/linux/DBusIdleSources.h"

#include "platform/linux/DBusCall.h"

namespace mirl {

namespace {

std::optional<double> millisecondsToSeconds(const std::optional<QVariant>& value) {
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qulonglong ms = value->toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return static_cast<double>(ms) / 1000.0;
}

} // namespace

std::optional<double> GnomeIdleSource::idleSeconds() {
    return millisecondsToSeconds(
        dbus::callForValue(QDBusConnection::sessionBus(), QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                           QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                           QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime")));
}

std::optional<double> KdeIdleSource::idleSeconds() {
    return millisecondsToSeconds(
        dbus::callForValue(QDBusConnection::sessionBus(), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("GetSessionIdleTime")));
}

} // namespace mirl
