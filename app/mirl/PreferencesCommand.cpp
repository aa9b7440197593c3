#include "app/mirl/PreferencesCommand.h"

#include "core/settings/Settings.h"
#include "fade/WakeSound.h"
#include "journal/SessionLogger.h"
#include "platform/linux/InstalledResources.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "platform/linux/PulseAudioPlayer.h"
#include "platform/linux/QSettingsStore.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/XdgAutostart.h"
#include "platform/linux/XdgPaths.h"
#include "runtime/Console.h"
#include "ui/prefs/PreferencesView.h"

#include <QApplication>

#include <cstring>

namespace mirl {

bool wantsPreferences(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preferences") == 0)
            return true;
    }
    return false;
}

int runPreferencesWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirl"));
    QApplication::setDesktopFileName(QStringLiteral("mirl"));

    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    QSettingsStore store(QSettingsStore::defaultFile().value_or("Mirl.conf"));
    Settings settings(store);
    auto dataHome = xdg::dataHome();
    SessionLogger journal(clock, dataHome ? std::optional(*dataHome / "Mirl") : std::nullopt,
                          xdg::osPrettyName());
    PulseAudioPlayerFactory players(scheduler);
    InstalledResources resources;
    LinuxActivityProbes probes;
    WakeSound wakeSound(clock, scheduler, journal, console, players, resources, probes);
    auto autostart = XdgAutostart::forThisProgram();

    PreferencesView view({.settings = settings,
                          .devices = nullptr,
                          .wakeSound = &wakeSound,
                          .autostart = autostart ? &*autostart : nullptr,
                          .dataFolder = [&journal] { return journal.dataFolder(); },
                          .openUrl = {}});
    view.show();
    const int status = QApplication::exec();
    wakeSound.stop("preferences_closed");
    return status;
}

} // namespace mirl
