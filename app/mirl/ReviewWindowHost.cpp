#include "app/mirl/ReviewWindowHost.h"

#include "platform/linux/QtScheduler.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/XdgPaths.h"
#include "ui/shell/RemoteControl.h"

#include <QApplication>

#include <cstdio>

namespace mirl {

ReviewWindowHost::ReviewWindowHost(const Clock& clock, Scheduler& mainThread, Console& console,
                                   std::optional<std::filesystem::path> dataFolder)
    : players_(mainThread), store_(clock, std::move(dataFolder)),
      player_({mainThread, background_, players_,
               [](const std::filesystem::path& p) { return openAudioFile(p); }, console}),
      window_(std::make_unique<review::ReviewWindow>(store_, player_)) {}

ReviewWindowHost::~ReviewWindowHost() {
    window_.reset();        // the window lets go of the player first
    player_.unload();       // which cancels the analysis on its way
    background_.waitIdle(); // a player still opening uses the factory
}

int runReviewCommand(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirl"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mirl"));
    if (remote::presentInRunningInstance(QStringLiteral("ShowReview"))) {
        std::printf("Mirl is already running: its review window comes forward.\n");
        return 0;
    }
    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    const auto dataHome = xdg::dataHome();
    ReviewWindowHost host(clock, scheduler, console,
                          dataHome ? std::optional(*dataHome / "Mirl") : std::nullopt);
    TerminationSignals quitOnSignal([](int) { QApplication::quit(); });
    host.window().show();
    return app.exec();
}

} // namespace mirl
