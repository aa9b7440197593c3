#include "ui/shell/TrayShell.h"

#include "core/session/SessionOrchestrator.h"
#include "core/settings/SettingsKeys.h"
#include "ui/control/MainWindow.h"
#include "ui/tray/Popover.h"
#include "ui/tray/TrayItem.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cmath>

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
    const SleepTimerModel& timer = session_.timer();
    RemoteStatus status;
    status.running = timer.isRunning();
    if (status.running) {
        status.remainingSeconds = static_cast<long long>(std::ceil(timer.remaining()));
        status.remainingText = timer.shortRemainingText();
        status.mode = std::string(rawValue(timer.mode()));
    } else {
        const MirlMode choice = parseMirlMode(settings_.readString(keys::modeTimerMode, "auto"));
        status.mode = std::string(rawValue(timer.resolveMode(clock_.now(), choice)));
    }
    if (session_.detectorRunning.get()) {
        const SleepDetector& detector = session_.detector();
        status.phase = std::string(rawValue(detector.phase.get()));
        if (detector.breathHasReading.get())
            status.breathRpm = detector.breathRpm.get();
    }
    return status;
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
