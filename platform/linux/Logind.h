#pragma once

#include <QString>

// logind's names on the system bus.
namespace mirl::logind {

inline const QString service = QStringLiteral("org.freedesktop.login1");
inline const QString managerPath = QStringLiteral("/org/freedesktop/login1");
inline const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace mirl::logind
