#include "app/mirl/TrayApplication.h"

#include "app/mirl/PreferencesWindowHost.h"
#include "app/mirl/ReviewWindowHost.h"
#include "app/shell/MirlServices.h"
#include "core/settings/SettingsKeys.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/XdgPaths.h"
#include "ui/alert/PreSleepPanel.h"
#include "ui/art/AppIcon.h"
#include "ui/shell/RemoteControl.h"
#include "ui/shell/TrayShell.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace mirl {

namespace {

/// Calls back when the watched window is closed.
class CloseWatcher final : public QObject {
public:
    explicit CloseWatcher(std::function<void()> onClose) : onClose_(std::move(onClose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close)
            QTimer::singleShot(0, this, onClose_);
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onClose_;
};

/// The review window, made when the user asks for it and dropped when it closes.
class ReviewWindowOpener {
public:
    explicit ReviewWindowOpener(MirlServices& services)
        : services_(services), watcher_([this] { host_.reset(); }) {}

    void open() {
        if (!host_) {
            const auto dataHome = xdg::dataHome();
            host_ = std::make_unique<ReviewWindowHost>(
                services_.clock, services_.scheduler, services_.console,
                dataHome ? std::optional(*dataHome / "Mirl") : std::nullopt);
            host_->window().installEventFilter(&watcher_);
        }
        QWidget& window = host_->window();
        window.show();
        window.raise();
        window.activateWindow();
    }

private:
    MirlServices& services_;
    CloseWatcher watcher_;
    std::unique_ptr<ReviewWindowHost> host_;
};

} // namespace

int runTrayApplication(QApplication& app) {
    QGuiApplication::setDesktopFileName(QStringLiteral("mirl"));
    QApplication::setWindowIcon(appIcon());

    remote::NameClaim claim;
    if (claim.result() == remote::NameClaim::Result::taken) {
        const bool shown = remote::call(QStringLiteral("Activate"), {}) == remote::CallResult::done;
        std::printf(shown ? "Mirl is already running: its window comes forward.\n"
                          : "Mirl is already running.\n");
        return 0;
    }

    PreSleepPanel panel;
    MirlServices services(panel);
    SessionOrchestrator& session = services.orchestrator();
    panel.onExtend = [&session](int minutes) { session.alert().extendTapped(minutes); };
    panel.onSleepNow = [&session] { session.alert().sleepNowTapped(); };

    // Quitting mid-session cancels it first, as the terminal session does, so that the screen
    // and the volume come back; the quit follows once the stop path has run.
    Handle quitLater;
    const auto quit = [&services, &session, &quitLater] {
        if (session.timer().isRunning() || services.engines.wakeSound.isPlaying()) {
            session.cancelSession();
            quitLater = services.scheduler.after(std::chrono::seconds(1), [] { QApplication::quit(); });
            return;
        }
        QApplication::quit();
    };

    ReviewWindowOpener review(services);
    PreferencesWindowHost preferences(
        services.settings, &services.engines.wakeSound, &services.inputs,
        [&services] { return services.logger.dataFolder(); }, &services.audio);
    ControlViewActions actions;
    actions.openPreferences = [&preferences] { preferences.present(); };
    actions.openAnnotation = [&review] { review.open(); };
    actions.quit = quit;
    TrayShell shell(session, services.settings, services.clock, services.scheduler, actions);

    remote::Service control(shell.remoteHandlers());
    QString why = claim.why();
    if (claim.result() != remote::NameClaim::Result::owned || !control.exportObject(&why))
        services.console.line("Mirl: no control from outside (" + why.toStdString() + ")");

    TerminationSignals quitOnSignal([&quit](int) { quit(); });
    shell.launch(services.settings.readBool(keys::systemShowInDock, true));
    const int status = app.exec();
    services.engines.wakeSound.stop("application_quit");
    return status;
}

} // namespace mirl
