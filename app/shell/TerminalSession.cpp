#include "app/shell/TerminalSession.h"

#include "app/shell/MirlServices.h"
#include "core/settings/SettingsKeys.h"
#include "platform/linux/TerminationSignals.h"
#include "ui/shell/ControlVerbs.h"
#include "ui/shell/RemoteControl.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace mirl {

namespace {

/// The pre-sleep alert as a part of the terminal's status line.
class TerminalAlertPanel final : public AlertPanel {
public:
    void open() override {
        shown = true;
        std::printf("\nMirl will soon put the computer to sleep: type +10, +20 or +30 to extend, s to sleep "
                    "now (then Enter)\n");
    }
    void setCountdownText(const std::string& value) override { text = value; }
    void close() override {
        shown = false;
        text.clear();
    }

    bool shown = false;
    std::string text;
};

class TerminalSession {
public:
    TerminalSession() : services_(panel_), signals_([this](int) { interrupt(); }) {}

    int run(int minutes) {
        SessionOrchestrator& session = services_.orchestrator();
        SleepTimerModel& timer = session.timer();
        handles_.push_back(timer.now.subscribe([this](const TimePoint&) { printStatus(); }));
        handles_.push_back(timer.endDate.subscribe([this](const std::optional<TimePoint>& end) {
            if (!end)
                finishWhenQuiet();
        }));
        if (::isatty(STDIN_FILENO)) {
            input_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
            QObject::connect(input_.get(), &QSocketNotifier::activated, [this] { readCommand(); });
        }
        handles_.push_back(session.detectorRunning.subscribe([this](bool running) {
            if (!running)
                return;
            if (auto log = services_.logger.currentSessionURL())
                std::printf("\nMirl: listening; session log %s\n", log->c_str());
            std::fflush(stdout);
        }));
        session.startTimer(minutes);
        std::printf("Mirl: %s timer of %d minutes\n", std::string(rawValue(timer.mode())).c_str(), minutes);
        std::fflush(stdout);
        return QCoreApplication::exec();
    }

    /// What control from outside (`mirl start|extend|cancel|status`) does to this session.
    remote::Handlers remoteHandlers() {
        SessionOrchestrator& session = services_.orchestrator();
        remote::Handlers handlers;
        handlers.start = [&session](int minutes) { session.startTimer(minutes); };
        handlers.extend = [&session](int minutes) { session.extendTimer(minutes); };
        handlers.cancel = [&session] { session.cancelSession(); };
        handlers.status = [this, &session] {
            return sessionStatus(session, services_.settings, services_.clock);
        };
        return handlers;
    }

private:
    void printStatus() {
        const SleepTimerModel& timer = services_.orchestrator().timer();
        if (!timer.isRunning())
            return;
        std::string line = "\r" + timer.remainingText();
        if (services_.orchestrator().detectorRunning.get())
            line += "  " + std::string(rawValue(services_.engines.detector.phase.get()));
        if (panel_.shown)
            line += "  " + panel_.text;
        line.resize(std::max<std::size_t>(line.size(), 48), ' '); // over what a longer line left
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }

    void readCommand() {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            input_->setEnabled(false);
            return;
        }
        std::string command(buffer, static_cast<std::size_t>(n));
        while (!command.empty() && (command.back() == '\n' || command.back() == ' '))
            command.pop_back();
        PreSleepAlertController& alert = services_.engines.alert;
        if (command == "c")
            services_.orchestrator().cancelSession();
        else if (command == "s")
            alert.sleepNowTapped();
        else if (command == "+10" || command == "+20" || command == "+30")
            alert.extendTapped(std::stoi(command.substr(1)));
    }

    /// The session is over: quit once nothing of it remains to be heard or restored.
    void finishWhenQuiet() {
        std::printf("\n");
        std::fflush(stdout);
        const SleepTimerModel& timer = services_.orchestrator().timer();
        const bool suspends =
            timer.mode() == MirlMode::night && services_.settings.readBool(keys::systemSleepOnFire, true);
        int graceSeconds = suspends ? 5 : 2;
        quitCheck_ = services_.scheduler.every(std::chrono::seconds(1), [this, graceSeconds]() mutable {
            if (services_.orchestrator().timer().isRunning()) {
                quitCheck_.cancel(); // a new timer started (an extend from the alert)
                return;
            }
            if (--graceSeconds > 0 || services_.engines.wakeSound.isPlaying())
                return;
            QCoreApplication::quit();
        });
    }

    void interrupt() {
        if (services_.orchestrator().timer().isRunning() || services_.engines.wakeSound.isPlaying()) {
            services_.orchestrator().cancelSession();
            quitLater_ = services_.scheduler.after(std::chrono::seconds(1), [] { QCoreApplication::quit(); });
            return;
        }
        QCoreApplication::quit();
    }

    TerminalAlertPanel panel_;
    MirlServices services_;
    TerminationSignals signals_;
    std::unique_ptr<QSocketNotifier> input_;
    std::vector<Handle> handles_;
    Handle quitCheck_;
    Handle quitLater_;
};

} // namespace

int runTerminalSession(int minutes) {
    // One Mirl at a time changes the screen and the volume: the name is claimed before the
    // launch puts back what a dead process left changed, and a running Mirl takes the timer.
    remote::NameClaim claim;
    if (claim.result() == remote::NameClaim::Result::taken)
        return runControlVerb({QStringLiteral("start"), QString::number(minutes)}, stdout, stderr);
    TerminalSession session;
    remote::Service control(session.remoteHandlers());
    if (claim.result() == remote::NameClaim::Result::owned)
        control.exportObject();
    return session.run(minutes);
}

} // namespace mirl
