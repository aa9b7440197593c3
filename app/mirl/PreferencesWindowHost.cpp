#include "app/mirl/PreferencesWindowHost.h"

#include "fade/WakeSound.h"
#include "journal/SessionLogger.h"
#include "platform/linux/InstalledResources.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/PulseAudioPlayer.h"
#include "platform/linux/PulseInputDevices.h"
#include "platform/linux/QSettingsStore.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/XdgPaths.h"
#include "runtime/Console.h"
#include "ui/shell/RemoteControl.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace mirl {

PreferencesWindowHost::PreferencesWindowHost(Settings& settings, WakeSound* wakeSound, InputDevices* devices,
                                             std::function<std::filesystem::path()> dataFolder,
                                             AudioControl* audio)
    : autostart_(XdgAutostart::forThisProgram()) {
    std::function<Handle(std::function<void()>)> watch;
    if (audio)
        watch = [audio](std::function<void()> changed) { return audio->listenToInputs(std::move(changed)); };
    view_ = std::make_unique<PreferencesView>(
        PreferencesView::Deps{.settings = settings,
                              .devices = devices,
                              .wakeSound = wakeSound,
                              .autostart = autostart_ ? &*autostart_ : nullptr,
                              .dataFolder = std::move(dataFolder),
                              .openUrl = {},
                              .watchDevices = std::move(watch)});
}

void PreferencesWindowHost::present() {
    if (view_->isMinimized())
        view_->showNormal();
    view_->show();
    view_->raise();
    view_->activateWindow();
}

bool wantsPreferences(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preferences") == 0)
            return true;
    }
    return false;
}

int runPreferencesCommand(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirl"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mirl"));
    QApplication::setDesktopFileName(QStringLiteral("mirl"));
    // Beside a running Mirl its own window opens, on the settings it runs with.
    if (remote::presentInRunningInstance(QStringLiteral("ShowPreferences"))) {
        std::printf("Mirl is already running: its preferences window comes forward.\n");
        return 0;
    }

    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    QSettingsStore store(QSettingsStore::defaultFile().value_or("Mirl.conf"));
    Settings settings(store);
    const auto dataHome = xdg::dataHome();
    SessionLogger journal(clock, dataHome ? std::optional(*dataHome / "Mirl") : std::nullopt,
                          xdg::osPrettyName());
    PulseAudioControl audio(scheduler);
    PulseInputDevices microphones(audio);
    PulseAudioPlayerFactory players(scheduler);
    InstalledResources resources;
    LinuxActivityProbes probes;
    WakeSound wakeSound(clock, scheduler, journal, console, players, resources, probes);

    PreferencesWindowHost host(
        settings, &wakeSound, &microphones, [&journal] { return journal.dataFolder(); }, &audio);
    TerminationSignals quitOnSignal([](int) { QApplication::quit(); });
    host.present();
    const int status = QApplication::exec();
    wakeSound.stop("preferences_closed");
    return status;
}

} // namespace mirl
