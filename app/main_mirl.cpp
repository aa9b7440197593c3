// The Mirl application's composition root.

#include "app/mirl/ReviewWindowHost.h"
#include "core/settings/Settings.h"
#include "core/settings/SettingsKeys.h"
#include "core/timer/SleepTimerModel.h"
#include "fade/SystemAudio.h"
#include "fade/SystemVolumeMonitor.h"
#include "journal/SessionLogger.h"
#include "platform/linux/CrashRecovery.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/QSettingsStore.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/RestoreStateFile.h"
#include "platform/linux/SysfsBacklight.h"
#include "platform/linux/SystemdPower.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/XdgPaths.h"
#include "runtime/CommandLine.h"
#include "runtime/Version.h"

#include <QCoreApplication>
#include <QStringList>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace mirl;

namespace {

void printUsage(std::FILE* to) {
    std::fprintf(to, "Usage: mirl [--minutes N] [--version]\n"
                     "       mirl review\n"
                     "  --minutes N   run a sleep timer of N minutes in this terminal\n"
                     "  --version     print the version\n"
                     "  review        open the review window of past sessions\n");
}

constexpr std::array kOptions{OptionSpec{"--minutes", true}, OptionSpec{"--version"}, OptionSpec{"--help"},
                              OptionSpec{"-h"}};

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "review") == 0)
        return runReviewCommand(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Mirl"));
    std::vector<std::string> words;
    for (const QString& arg : QCoreApplication::arguments().mid(1))
        words.push_back(arg.toStdString());
    const CommandLine args = parseCommandLine(words, kOptions);
    if (args.error) {
        std::fprintf(stderr, "mirl: %s\n", args.error->c_str());
        printUsage(stderr);
        return 2;
    }
    if (args.has("--version")) {
        std::printf("Mirl %s\n", kVersion);
        return 0;
    }
    if (args.has("--help") || args.has("-h")) {
        printUsage(stdout);
        return 0;
    }
    bool ok = false;
    const int minutes = QString::fromStdString(args.value("--minutes").value_or("0")).toInt(&ok);
    if (args.has("--minutes") && (!ok || minutes < 1 || minutes > 1440)) {
        std::fprintf(stderr, "mirl: --minutes takes a whole number from 1 to 1440\n");
        return 2;
    }

    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    auto settingsFile = QSettingsStore::defaultFile();
    QSettingsStore store(settingsFile.value_or("Mirl.conf"), &console);
    Settings settings(store);
    auto dataHome = xdg::dataHome();
    SessionLogger logger(clock, dataHome ? std::optional(*dataHome / "Mirl") : std::nullopt,
                         xdg::osPrettyName());
    const int rotationDays = settings.readInt(keys::detectorRotationDays, 60);
    if (rotationDays >= 1)
        logger.pruneOldFiles(rotationDays);

    // A previous Mirl that died mid-fade left the screen and the volume changed: put them back
    // before anything else touches them (the volume as soon as the sound server is there).
    PulseAudioControl audio(scheduler);
    SystemVolumeMonitor volumeMonitor(audio, logger);
    SystemAudio systemAudio(audio, volumeMonitor, scheduler, logger);
    RestoreStateFile restoreState(RestoreStateFile::defaultFile().value_or("restore-state.json"), console);
    restoreState.onFailure = [&logger](std::string_view part, const std::string& why) {
        logger.log("restore_state_unwritable", {{"part", std::string(part)}, {"error", why}});
    };
    SysfsBacklight panel;
    CrashRecovery recovery(restoreState, {&panel, &systemAudio}, console);
    recovery.recover();
    TerminationSignals terminationRoute([](int) { QCoreApplication::quit(); });

    SystemdPower power;
    SleepTimerModel timer(clock, scheduler, settings, logger, power, console);

    if (!args.has("--minutes")) {
        std::printf("Mirl %s: the tray application is not here yet.\n", kVersion);
        printUsage(stdout);
        return 0;
    }

    auto showCountdown = timer.now.subscribe([&](const TimePoint&) {
        std::printf("\r%s ", timer.remainingText().c_str());
        std::fflush(stdout);
    });
    auto quitWhenDone = timer.endDate.subscribe([&](const std::optional<TimePoint>& end) {
        if (!end)
            scheduler.after(std::chrono::seconds(1), [] { QCoreApplication::quit(); }).release();
    });
    timer.start(minutes);
    std::printf("Mirl: %s timer of %d minutes\n", std::string(rawValue(timer.mode())).c_str(), minutes);
    return app.exec();
}
