#pragma once

#include "runtime/Handle.h"

#include <QMenu>
#include <QObject>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

namespace mirl {

class SleepTimerModel;

/// What the tray item's menu and clicks ask for; an action left empty is shown disabled.
struct TrayActions {
    std::function<void(int minutes)> startTimer;
    std::function<void()> cancelSession;
    /// Left click, with the icon's geometry on the screen (empty when the host does not say).
    std::function<void(const QRect& iconGeometry)> togglePopover;
    std::function<void()> showMainWindow;
    std::function<void()> openPreferences;
    std::function<void()> openAnnotation;
    std::function<void()> quit;
};

/// Mirl's tray item: the moon while idle, the remaining time (drawn into the icon and in the
/// tooltip) while a timer runs. A left click toggles the popover; the context menu offers the
/// presets, cancel, the windows and quit.
///
/// Thread rule: main thread only.
class TrayItem final : public QObject {
public:
    TrayItem(SleepTimerModel& timer, TrayActions actions);
    ~TrayItem() override;

    void show();
    bool isVisible() const { return icon_.isVisible(); }
    QRect iconGeometry() const { return icon_.geometry(); }

    /// What the item shows now: the countdown text drawn into the icon (empty while idle).
    QString countdownText() const { return countdown_; }
    QString toolTip() const { return icon_.toolTip(); }
    QMenu& menu() { return *menu_; }

private:
    void refresh();
    void buildMenu();

    SleepTimerModel& timer_;
    TrayActions actions_;
    QSystemTrayIcon icon_;
    std::unique_ptr<QMenu> menu_;
    QAction* cancelAction_ = nullptr;
    QString countdown_;
    bool drawn_ = false;
    Handle endSubscription_;
    Handle tickSubscription_;
};

} // namespace mirl
