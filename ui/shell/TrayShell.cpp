#include "ui/shell/TrayShell.h"

#include "core/session/SessionOrchestrator.h"
#include "ui/control/MainWindow.h"
#include "ui/tray/Popover.h"
#include "ui/tray/TrayItem.h"

#include <QApplication>
#include <QSystemTrayIcon>

namespace mirl {

TrayShell::TrayShell(SessionOrchestrator& session, const Settings& settings, const Clock& clock,
                     Scheduler& scheduler, ControlViewActions actions)
    : session_(session), settings_(settings), clock_(clock),
      quit_(actions.quit ? actions.quit : [] { QApplication::quit(); }),
      openPreferences_(actions.openPreferences), openAnnotation_(actions.openAnnotation) {
    actions.quit = quit_;
    mainWindow_ = std::make_unique<MainWindow>(new ControlView(session, settings, clock, scheduler, actions));
    popover_ = std::make_unique<Popover>(new ControlView(session, settings, clock, scheduler, actions));

    TrayActions trayActions;
    trayActions.startTimer = [this](int minutes) { session_.startTimer(minutes); };
    trayActions.cancelSession = [this] { session_.cancelSession(); };
    trayActions.togglePopover = [this](const QRect& icon) { popover_->toggle(icon); };
    trayActions.showMainWindow = [this] { presentMainWindow(); };
    trayActions.openPreferences = actions.openPreferences;
    trayActions.openAnnotation = actions.openAnnotation;
    trayActions.quit = quit_;
    tray_ = std::make_unique<TrayItem>(session.timer(), std::move(trayActions));
}

TrayShell::~TrayShell() = default;

void TrayShell::launch(bool showMainWindow) {
    const bool trayHost = QSystemTrayIcon::isSystemTrayAvailable();
    tray_->show();
    mainWindow_->setQuitOnClose(trayHost ? std::function<void()>() : quit_);
    if (showMainWindow || !trayHost)
        presentMainWindow();
}

void TrayShell::presentMainWindow() {
    popover_->hide();
    mainWindow_->present();
}

RemoteStatus TrayShell::status() const {
    return sessionStatus(session_, settings_, clock_);
}

remote::Handlers TrayShell::remoteHandlers() {
    remote::Handlers handlers;
    handlers.start = [this](int minutes) { session_.startTimer(minutes); };
    handlers.extend = [this](int minutes) { session_.extendTimer(minutes); };
    handlers.cancel = [this] { session_.cancelSession(); };
    handlers.status = [this] { return status(); };
    handlers.activate = [this] { presentMainWindow(); };
    handlers.showPreferences = openPreferences_;
    handlers.showReview = openAnnotation_;
    return handlers;
}

} // namespace mirl
