// testenv: --x11
// testmain: qt
// SIGTERM and SIGINT arrive on the main thread through the event loop, where the normal
// restore can run; afterwards the default handling is back.

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
        EXPECT_TRUE(received.empty()) << "the handler itself must not run the restore";
        QElapsedTimer timer;
        timer.start();
        while (received.size() < 2 && timer.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT}));
        EXPECT_TRUE(onMainThread);
    }
    struct sigaction current {};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}
