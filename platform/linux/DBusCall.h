#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

#include <optional>

namespace mirl::dbus {

/// The longest any probe waits for one D-Bus answer.
inline constexpr int kCallTimeoutMs = 250;

/// Calls a method and waits at most kCallTimeoutMs. Nothing on any failure: no bus, no such
/// service or method, an error reply, no reply in time.
std::optional<QDBusMessage> call(const QDBusConnection& bus, const QString& service, const QString& path,
                                 const QString& interface, const QString& method,
                                 const QVariantList& args = {});

/// The first value of a successful reply (unwrapped from a variant), or nothing.
std::optional<QVariant> callForValue(const QDBusConnection& bus, const QString& service, const QString& path,
                                     const QString& interface, const QString& method,
                                     const QVariantList& args = {});

/// A property through org.freedesktop.DBus.Properties.Get.
std::optional<QVariant> property(const QDBusConnection& bus, const QString& service, const QString& path,
                                 const QString& interface, const QString& name);

} // namespace mirl::dbus
