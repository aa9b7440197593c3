#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace mirl {

/// The tray item's picture. Idle: Mirl's icon. While a timer runs, the remaining time drawn into
/// the icon, since tray hosts (XEmbed, StatusNotifierItem) show no text beside it: pale with a
/// dark rim, readable on dark and light panels.
QIcon trayIcon(const QString& countdown = {});

/// One size of it, `size` pixels square at device pixel ratio 1.
QImage trayImage(int size, const QString& countdown = {});

} // namespace mirl
