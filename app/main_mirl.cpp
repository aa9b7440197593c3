// The Mirl application: a short dispatcher over the launch modes.

#include "app/mirl/MicSmoke.h"
#include "app/mirl/PreferencesWindowHost.h"
#include "app/mirl/ReviewWindowHost.h"
#include "app/shell/Application.h"
#include "app/shell/MirlServices.h"
#include "app/shell/TerminalSession.h"
#include "runtime/Version.h"

#include <QStringList>

#include <cstdio>
#include <cstring>

using namespace mirl;

namespace {

void printUsage() {
    std::printf("Usage: mirl [--minutes N] [--mic-smoke] [--preferences] [--version]\n"
                "       mirl review\n"
                "  --minutes N     run a whole sleep session of N minutes in this terminal\n"
                "  --mic-smoke     capture ten seconds and say whether the microphone is heard\n"
                "  --preferences   open the preferences window\n"
                "  --version       print the version\n"
                "  review          open the review window of past sessions\n");
}

/// The minutes after "--minutes", 0 when absent, -1 when not a whole number from 1 to 1440.
int minutesArgument(const QStringList& args) {
    const auto at = args.indexOf(QStringLiteral("--minutes"));
    if (at < 0)
        return 0;
    bool ok = false;
    const int minutes = at + 1 < args.size() ? args.at(at + 1).toInt(&ok) : 0;
    return ok && minutes >= 1 && minutes <= 1440 ? minutes : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (micSmokeRequested(argc, argv)) // before anything else: it ends the process
        return runMicSmoke(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "review") == 0)
        return runReviewCommand(argc, argv);
    if (wantsPreferences(argc, argv))
        return runPreferencesCommand(argc, argv);
    // Answered before any toolkit starts, so that nothing else reaches the terminal.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Mirl %s\n", kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage();
            return 0;
        }
    }
    auto app = makeApplication(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int minutes = minutesArgument(args);
    if (minutes < 0) {
        std::fprintf(stderr, "mirl: --minutes takes a whole number from 1 to 1440\n");
        return 2;
    }
    if (minutes > 0)
        return runTerminalSession(minutes);

    // The launch alone (it puts back what a process that died mid-fade left changed).
    struct NoPanel final : AlertPanel {
        void open() override {}
        void setCountdownText(const std::string&) override {}
        void close() override {}
    } noPanel;
    MirlServices services(noPanel);
    std::printf("Mirl %s: the tray application is not here yet.\n", kVersion);
    printUsage();
    return 0;
}
