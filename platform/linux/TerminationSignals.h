#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace mirl {

/// Routes SIGTERM, SIGINT and SIGHUP (the terminal closed) through the Qt event loop: the
/// signal handler only writes a byte to a pipe; onSignal then runs on the main thread, where the
/// normal restore can run (and quit the application). SIGPIPE is ignored, so that output to a
/// pipe whose reader has gone (mirl | head) fails as a write instead of ending the process
/// without its restore. While one object lives, the signals are taken; its destruction gives
/// the default handling back.
/// Thread rule: construct and destroy on the main thread, with a QCoreApplication.
class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> onSignal_;
};

} // namespace mirl
