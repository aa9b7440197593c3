#include "ui/tray/TrayItem.h"

#include "core/timer/SleepTimerModel.h"
#include "ui/control/ControlTexts.h"
#include "ui/tray/TrayIconArt.h"

namespace mirl {

TrayItem::TrayItem(SleepTimerModel& timer, TrayActions actions)
    : timer_(timer), actions_(std::move(actions)), menu_(std::make_unique<QMenu>()) {
    buildMenu();
    icon_.setContextMenu(menu_.get());
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) &&
            actions_.togglePopover)
            actions_.togglePopover(icon_.geometry());
        else if (reason == QSystemTrayIcon::MiddleClick && actions_.showMainWindow)
            actions_.showMainWindow();
    });
    endSubscription_ = timer_.endDate.subscribe([this](const auto&) { refresh(); });
    tickSubscription_ = timer_.now.subscribe([this](const auto&) { refresh(); });
    refresh();
}

TrayItem::~TrayItem() = default;

void TrayItem::show() {
    icon_.show();
}

void TrayItem::buildMenu() {
    auto add = [this](const QString& text, const std::function<void()>& action) {
        QAction* item = menu_->addAction(text);
        item->setEnabled(static_cast<bool>(action));
        if (action)
            connect(item, &QAction::triggered, this, [action] { action(); });
        return item;
    };
    for (int minutes : controltext::kPresetMinutes) {
        add(QStringLiteral("Sleep in %1 minutes").arg(minutes),
            actions_.startTimer ? std::function<void()>([this, minutes] { actions_.startTimer(minutes); })
                                : std::function<void()>());
    }
    cancelAction_ = add(QStringLiteral("Cancel the timer"), actions_.cancelSession);
    menu_->addSeparator();
    add(QStringLiteral("Open Mirl"), actions_.showMainWindow);
    add(QStringLiteral("Preferences…"), actions_.openPreferences);
    add(QStringLiteral("Annotate a session…"), actions_.openAnnotation);
    menu_->addSeparator();
    add(QStringLiteral("Quit Mirl"), actions_.quit);
}

void TrayItem::refresh() {
    const bool running = timer_.isRunning();
    const QString text = running ? QString::fromStdString(timer_.shortRemainingText()) : QString();
    cancelAction_->setEnabled(running && static_cast<bool>(actions_.cancelSession));
    if (text == countdown_ && drawn_)
        return;
    countdown_ = text;
    drawn_ = true;
    icon_.setIcon(trayIcon(countdown_));
    icon_.setToolTip(QString::fromStdString(
        controltext::trayToolTip(running ? std::optional(countdown_.toStdString()) : std::nullopt)));
}

} // namespace mirl
