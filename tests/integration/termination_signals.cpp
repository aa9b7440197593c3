// testenv: --x11
// testmain: qt
// SIGTERM, SIGINT and SIGHUP arrive on the main thread through the event loop, where the normal
// restore can run, and SIGPIPE is ignored; afterwards the default handling is back.

#include "platform/linux/TerminationSignals.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace mirl;

TEST(TerminationSignals, ArriveOnTheMainThreadThroughTheEventLoop) {
    std::vector<int> received;
    bool onMainThread = true;
    {
        TerminationSignals routed([&](int signal) {
            received.push_back(signal);
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
        });
        std::raise(SIGTERM);
        std::raise(SIGINT);
        std::raise(SIGHUP);
        std::raise(SIGPIPE); // ignored: the process must still be here
        EXPECT_TRUE(received.empty()) << "the handler itself must not run the restore";
        QElapsedTimer timer;
        timer.start();
        while (received.size() < 3 && timer.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
        EXPECT_TRUE(onMainThread);
    }
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signal;
    }
}
