// The Mirl application: a short dispatcher over the launch modes.

#include "app/mirl/MicSmoke.h"
#include "app/mirl/PreferencesWindowHost.h"
#include "app/mirl/ReviewWindowHost.h"
#include "app/mirl/TrayApplication.h"
#include "app/shell/Application.h"
#include "app/shell/TerminalSession.h"
#include "runtime/CommandLine.h"
#include "runtime/Version.h"
#include "ui/shell/ControlVerbs.h"

#include <QStringList>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace mirl;

namespace {

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: mirl [--minutes N] [--mic-smoke] [--preferences] [--version]\n"
                 "       mirl review\n"
                 "       mirl start MINUTES | extend MINUTES | cancel | status [--json]\n"
                 "  (no option)     start Mirl in the tray, or bring the running Mirl forward\n"
                 "  --minutes N     run a whole sleep session of N minutes in this terminal\n"
                 "  --mic-smoke     capture ten seconds and say whether the microphone is heard\n"
                 "  --preferences   open the preferences window\n"
                 "  --version       print the version\n"
                 "  review          open the review window of past sessions\n"
                 "%s",
                 controlVerbsUsage());
}

/// What is left for this dispatcher once the early modes are gone (Qt's own options are taken by
/// the application object).
constexpr std::array kOptions{OptionSpec{"--minutes", true}};

/// The minutes of "--minutes N" (or "--minutes=N"), 0 when absent; nothing after a line that is
/// not understood, which has been said on standard error with the usage.
std::optional<int> minutesArgument(const QStringList& qtArgs) {
    std::vector<std::string> args;
    for (const QString& arg : qtArgs.mid(1))
        args.push_back(arg.toStdString());
    const CommandLine line = parseCommandLine(args, kOptions);
    if (line.error) {
        std::fprintf(stderr, "mirl: %s\n", line.error->c_str());
        printUsage(stderr);
        return std::nullopt;
    }
    if (!line.has("--minutes"))
        return 0;
    bool ok = false;
    const int minutes = QString::fromStdString(*line.value("--minutes")).toInt(&ok);
    if (!ok || minutes < 1 || minutes > 1440) {
        std::fprintf(stderr, "mirl: --minutes takes a whole number from 1 to 1440\n");
        return std::nullopt;
    }
    return minutes;
}

} // namespace

int main(int argc, char** argv) {
    if (micSmokeRequested(argc, argv)) // before anything else: it ends the process
        return runMicSmoke(argc, argv);
    if (argc > 1 && isControlVerb(QString::fromLocal8Bit(argv[1]))) {
        QCoreApplication app(argc, argv);
        return runControlVerb(QCoreApplication::arguments().mid(1), stdout, stderr);
    }
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
            printUsage(stdout);
            return 0;
        }
    }
    auto app = makeApplication(argc, argv);
    const std::optional<int> minutes = minutesArgument(QCoreApplication::arguments());
    if (!minutes)
        return 2;
    if (*minutes > 0)
        return runTerminalSession(*minutes);
    return runTrayApplication(*app);
}
