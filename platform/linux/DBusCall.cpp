#include "platform/linux/DBusCall.h"

#include <QDBusVariant>

namespace mirl::dbus {

std::optional<QDBusMessage> call(const QDBusConnection& bus, const QString& service, const QString& path,
                                 const QString& interface, const QString& method, const QVariantList& args) {
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply;
}

std::optional<QVariant> callForValue(const QDBusConnection& bus, const QString& service, const QString& path,
                                     const QString& interface, const QString& method,
                                     const QVariantList& args) {
    auto reply = call(bus, service, path, interface, method, args);
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    QVariant value = reply->arguments().constFirst();
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

std::optional<QVariant> property(const QDBusConnection& bus, const QString& service, const QString& path,
                                 const QString& interface, const QString& name) {
    return callForValue(bus, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                        QStringLiteral("Get"), {interface, name});
}

} // namespace mirl::dbus
