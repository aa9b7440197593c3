#include "platform/linux/IdleEdgeCounter.h"
#include "runtime/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <random>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

/// The compositor's side of ext-idle-notify-v1 on virtual time: idled once nothing was touched
/// for the timeout, resumed at the first input after that.
class EdgeCompositor {
public:
    EdgeCompositor(VirtualScheduler& time, IdleEdgeCounter& counter) : time_(time), counter_(counter) {
        counter_.watching(time_.now());
        arm();
    }
    void input() {
        lastInput = time_.now();
        if (idle_) {
            idle_ = false;
            counter_.resumed(time_.now());
        }
        arm();
    }
    TimePoint lastInput = TimePoint{};

private:
    void arm() {
        timer_ = time_.after(toDuration(counter_.threshold()), [this] {
            idle_ = true;
            counter_.idled(time_.now());
        });
    }
    VirtualScheduler& time_;
    IdleEdgeCounter& counter_;
    Handle timer_;
    bool idle_ = false;
};

} // namespace

TEST(IdleEdgeCounter, CountsFromTheEdges) {
    VirtualScheduler time;
    IdleEdgeCounter counter(1.0);
    EXPECT_EQ(counter.idleSeconds(time.now()), std::nullopt) << "not watching yet";
    EdgeCompositor compositor(time, counter);
    time.advance(500ms);
    EXPECT_EQ(counter.idleSeconds(time.now()), std::nullopt) << "the user may have been idle for hours";
    time.advance(500ms); // idled: nothing touched since watching began
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 1.0);
    time.advance(10min);
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 601.0);

    compositor.input(); // resumed
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 0.0);
    time.advance(300ms);
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 0.3);
    compositor.input(); // no edge: the compositor says nothing while the user is busy
    time.advance(600ms);
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 0.9) << "at most one threshold too long";
    time.advance(300ms);
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 1.0) << "input within the threshold, no more known";
    time.advance(100ms); // idled, a second after that input
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 1.0);
    time.advance(4s);
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 5.0);

    counter.lost();
    EXPECT_EQ(counter.idleSeconds(time.now()), std::nullopt) << "the compositor went away";
    counter.idled(time.now());
    EXPECT_EQ(counter.idleSeconds(time.now()), std::nullopt) << "edges after that mean nothing";
}

TEST(IdleEdgeCounter, InputDuringTheFirstThresholdShowsAsActivity) {
    VirtualScheduler time;
    IdleEdgeCounter counter(1.0);
    EdgeCompositor compositor(time, counter);
    time.advance(400ms);
    compositor.input();
    time.advance(800ms);
    EXPECT_DOUBLE_EQ(*counter.idleSeconds(time.now()), 1.0) << "somebody touched the machine within a second";
    time.advance(200ms); // idled a second after the input
    EXPECT_NEAR(*counter.idleSeconds(time.now()), 1.0, 1e-9);
}

TEST(IdleEdgeCounter, NeverCountsLessThanTheTruthAndIsExactOnceIdle) {
    // Random typing and pauses on virtual time: whenever the user has been idle for the
    // threshold or longer the count is exact; before, it lies between the truth and the threshold.
    for (double threshold : {0.5, 1.0, 5.0}) {
        VirtualScheduler time;
        IdleEdgeCounter counter(threshold);
        EdgeCompositor compositor(time, counter);
        std::mt19937 random(static_cast<unsigned>(threshold * 10));
        std::exponential_distribution<double> gap(1.0 / 2.0);
        time.advance(toDuration(threshold));
        compositor.input();
        for (int step = 0; step < 2000; ++step) {
            time.advance(toDuration(gap(random) * (step % 50 == 0 ? 30 : 1)));
            const double truth = secondsBetween(compositor.lastInput, time.now());
            const auto counted = counter.idleSeconds(time.now());
            ASSERT_TRUE(counted) << "step " << step;
            if (truth >= threshold)
                ASSERT_NEAR(*counted, truth, 1e-6) << "threshold " << threshold << ", step " << step;
            else
                ASSERT_TRUE(*counted >= truth - 1e-6 && *counted <= threshold + 1e-6)
                    << "threshold " << threshold << ", step " << step << ": " << *counted << " for " << truth;
            if (step % 3 == 0)
                compositor.input();
        }
    }
}
