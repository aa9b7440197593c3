#include "platform/linux/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mirl {

namespace {

// A signal handler gets no user data; the write end of the pipe has to be reachable from it.
// Set and cleared on the main thread around the handlers' lifetime.
volatile sig_atomic_t signalWriteFd = -1;

// Termination asked for by the user (Ctrl+C), the system (kill, shutdown) or a closed terminal.
constexpr int kRouted[] = {SIGTERM, SIGINT, SIGHUP};

void onTerminationSignal(int signal) {
    const int fd = signalWriteFd;
    if (fd < 0)
        return;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0)
        return;
    signalWriteFd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        unsigned char byte = 0;
        while (::read(fds_[1], &byte, 1) == 1)
            if (onSignal_)
                onSignal_(byte);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kRouted)
        ::sigaction(signal, &action, nullptr);
    // A closed pipe (output piped to head) is a failed write, not the end of the process.
    ::signal(SIGPIPE, SIG_IGN);
}

TerminationSignals::~TerminationSignals() {
    for (int signal : kRouted)
        ::signal(signal, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    signalWriteFd = -1;
    notifier_.reset();
    for (int fd : fds_)
        if (fd >= 0)
            ::close(fd);
}

} // namespace mirl
