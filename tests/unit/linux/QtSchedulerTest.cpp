// The Qt-backed scheduler runs on a real event loop, so these tests wait for it with short,
// bounded timeouts; the timing rules themselves are tested on virtual time elsewhere.

#include "platform/linux/QtScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class QtSchedulerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "unit_linux";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
    }

    // Spins the event loop until done() or the deadline.
    template <typename Done> bool spinUntil(Done done, int maxMs = 2000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < maxMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    QtScheduler scheduler;
};

} // namespace

TEST_F(QtSchedulerTest, PostsFromOtherThreadsRunOnTheMainThreadInOrder) {
    const auto mainThread = std::this_thread::get_id();
    std::atomic<int> ran{0};
    std::atomic<bool> allOnMain{true};
    std::vector<int> order;
    std::thread producer([&] {
        for (int i = 0; i < 500; ++i)
            scheduler.post([&, i] {
                if (std::this_thread::get_id() != mainThread)
                    allOnMain = false;
                order.push_back(i);
                ++ran;
            });
    });
    producer.join();
    ASSERT_TRUE(spinUntil([&] { return ran == 500; }));
    EXPECT_TRUE(allOnMain);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(order[i], i);
}

TEST_F(QtSchedulerTest, TimersFireAndStopWhenTheirHandleGoes) {
    int once = 0, repeated = 0, cancelled = 0;
    auto single = scheduler.after(5ms, [&] { ++once; });
    auto repeating = scheduler.every(5ms, [&] { ++repeated; });
    {
        auto dropped = scheduler.after(5ms, [&] { ++cancelled; });
    }
    ASSERT_TRUE(spinUntil([&] { return repeated >= 3; }));
    repeating.cancel();
    const int atCancel = repeated;
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(repeated, atCancel);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(QtSchedulerTest, ReleasedTimerStillFires) {
    int fired = 0;
    scheduler.after(1ms, [&] { ++fired; }).release();
    EXPECT_TRUE(spinUntil([&] { return fired == 1; }));
}

TEST_F(QtSchedulerTest, WaitsLongerThanOneQtTimerDoNotFireEarly) {
    // A QTimer counts in int milliseconds (about 24.8 days); longer waits must not wrap round.
    int fired = 0;
    auto month = scheduler.after(std::chrono::hours(24 * 30), [&] { ++fired; });
    auto wrapping =
        scheduler.after(std::chrono::milliseconds((1LL << 32) + 10), [&] { ++fired; }); // 49.7 days
    auto endless = scheduler.after(Duration::max(), [&] { ++fired; });
    auto monthly = scheduler.every(std::chrono::hours(24 * 30), [&] { ++fired; });
    auto soon = scheduler.after(20ms, [&] { fired += 100; });
    ASSERT_TRUE(spinUntil([&] { return fired >= 100; }));
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 100);
}
