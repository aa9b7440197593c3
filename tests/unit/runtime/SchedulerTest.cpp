#include "runtime/Published.h"
#include "runtime/SerialQueue.h"
#include "runtime/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace mirl;
using namespace std::chrono_literals;

TEST(VirtualScheduler, TimerFiresExactlyAtItsDueTime) {
    VirtualScheduler s;
    int fired = 0;
    auto h = s.after(1s, [&] { ++fired; });
    s.advance(999ms);
    EXPECT_EQ(fired, 0);
    s.advance(1ms);
    EXPECT_EQ(fired, 1);
    s.advance(10s);
    EXPECT_EQ(fired, 1);
}

TEST(VirtualScheduler, EveryRepeatsAndTasksSeeTheirDueTime) {
    VirtualScheduler s;
    const auto start = s.now();
    std::vector<double> seen;
    auto h = s.every(2s, [&] { seen.push_back(secondsBetween(start, s.now())); });
    s.advance(7s);
    EXPECT_EQ(seen, (std::vector<double>{2, 4, 6}));
    EXPECT_EQ(secondsBetween(start, s.now()), 7);
}

TEST(VirtualScheduler, DestroyingOrCancellingTheHandleStopsTheTimer) {
    VirtualScheduler s;
    int a = 0, b = 0;
    {
        auto h = s.every(1s, [&] { ++a; });
        s.advance(2s);
    }
    auto h2 = s.every(1s, [&] { ++b; });
    s.advance(1s);
    h2.cancel();
    h2.cancel(); // idempotent
    s.advance(5s);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(s.pendingCount(), 0u);
}

TEST(VirtualScheduler, ATaskMayCancelItsOwnTimer) {
    VirtualScheduler s;
    int n = 0;
    Handle h;
    h = s.every(1s, [&] {
        if (++n == 3)
            h.cancel();
    });
    s.advance(10s);
    EXPECT_EQ(n, 3);
}

TEST(VirtualScheduler, EqualDueTimesRunInRegistrationOrderAndPostsRunFirst) {
    VirtualScheduler s;
    std::vector<int> order;
    auto h1 = s.after(1s, [&] { order.push_back(1); });
    auto h2 = s.after(1s, [&] {
        order.push_back(2);
        s.post([&] { order.push_back(4); });
    });
    auto h3 = s.after(1s, [&] { order.push_back(3); });
    s.post([&] { order.push_back(0); });
    s.advance(1s);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(VirtualScheduler, PostFromAnotherThreadRunsOnTheDrivingThread) {
    VirtualScheduler s;
    std::atomic<int> ran{0};
    std::thread::id where;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i)
                s.post([&] {
                    where = std::this_thread::get_id();
                    ++ran;
                });
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(ran, 0);
    s.runDue();
    EXPECT_EQ(ran, 1000);
    EXPECT_EQ(where, std::this_thread::get_id());
}

TEST(VirtualScheduler, ReleasedHandleKeepsItsTaskAlive) {
    VirtualScheduler s;
    int n = 0;
    s.after(500ms, [&] { ++n; }).release();
    s.advance(1s);
    EXPECT_EQ(n, 1);
}

TEST(VirtualScheduler, SleepingThroughDelaysEveryWaitingTaskAsMonotonicTimersAre) {
    VirtualScheduler s;
    const auto start = s.now();
    std::vector<double> seen;
    auto tick = s.every(1s, [&] { seen.push_back(secondsBetween(start, s.now())); });
    auto once = s.after(1500ms, [&] { seen.push_back(-secondsBetween(start, s.now())); });
    s.advance(1s);
    EXPECT_EQ(s.nextDue(), start + 1500ms);
    s.sleepThrough(1h);
    EXPECT_EQ(secondsBetween(start, s.now()), 3601) << "the clock moved, nothing ran";
    EXPECT_EQ(seen, std::vector<double>{1});
    EXPECT_EQ(s.nextDue(), start + 1h + 1500ms);
    s.advance(1s);
    EXPECT_EQ(seen, (std::vector<double>{1, -3601.5, 3602}));
    tick.cancel();
    EXPECT_FALSE(s.nextDue()) << "cancelled timers are not due";
}

TEST(SerialQueue, RunsTasksInOrderOnOneOtherThread) {
    SerialQueue q("Mirl.test.queue");
    std::vector<int> order;
    std::thread::id worker;
    std::atomic<bool> sameThread{true};
    for (int i = 0; i < 100; ++i)
        q.submit([&, i] {
            if (i == 0)
                worker = std::this_thread::get_id();
            else if (worker != std::this_thread::get_id())
                sameThread = false;
            order.push_back(i);
        });
    q.waitIdle();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(sameThread);
    EXPECT_NE(worker, std::this_thread::get_id());
}

TEST(SerialQueue, DestructorDrainsQueuedWork) {
    std::atomic<int> n{0};
    {
        SerialQueue q("Mirl.test.drain");
        for (int i = 0; i < 50; ++i)
            q.submit([&] { ++n; });
    }
    EXPECT_EQ(n, 50);
}

TEST(Published, NotifiesOnChangeOnlyAndStopsWithTheHandle) {
    Published<int> value{1};
    std::vector<int> seen;
    auto sub = value.subscribe([&](const int& v) { seen.push_back(v); });
    value.set(1);
    value.set(2);
    value.set(2);
    value.set(3);
    sub.cancel();
    value.set(4);
    EXPECT_EQ(seen, (std::vector<int>{2, 3}));
    EXPECT_EQ(value.get(), 4);
}

TEST(Published, SubscriberSeesTheNewValueAndMayUnsubscribeOthers) {
    Published<int> value{0};
    Handle second;
    int firstSaw = -1, secondCalls = 0;
    auto first = value.subscribe([&](const int& v) {
        firstSaw = value.get();
        EXPECT_EQ(v, firstSaw);
        second.cancel();
    });
    second = value.subscribe([&](const int&) { ++secondCalls; });
    value.set(5);
    EXPECT_EQ(firstSaw, 5);
    EXPECT_EQ(secondCalls, 0);
}

TEST(Published, HandleMayOutliveTheValue) {
    Handle sub;
    {
        Published<int> value;
        sub = value.subscribe([](const int&) {});
    }
    sub.cancel(); // must not touch the destroyed value
    SUCCEED();
}
