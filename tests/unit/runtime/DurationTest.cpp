// Durations from settings and files can be absurd; arithmetic on them holds at the ends of the
// clock's range instead of wrapping round.

#include "runtime/Duration.h"
#include "runtime/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <limits>

using namespace mirl;

TEST(Duration, ArithmeticHoldsAtTheEndsOfTheClocksRange) {
    const TimePoint t = VirtualScheduler::defaultStart();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        double seconds;
        TimePoint expected;
    };
    for (const Row& row :
         {Row{"an hour", 3600, t + std::chrono::hours(1)}, Row{"a million years", 3.15e13, TimePoint::max()},
          Row{"just past the nanoseconds", 9.3e9, TimePoint::max()},
          Row{"INT_MAX minutes", 2147483647.0 * 60, TimePoint::max()}, Row{"infinity", inf, TimePoint::max()},
          Row{"a million years back", -3.15e13, t + Duration::min()},
          Row{"minus infinity", -inf, t + Duration::min()}, Row{"not a number", nan, t}})
        EXPECT_EQ(addSeconds(t, row.seconds), row.expected) << row.name;

    EXPECT_EQ(toDuration(1e300), Duration::max());
    EXPECT_EQ(toDuration(-1e300), Duration::min());
    EXPECT_EQ(toDuration(nan), Duration::zero());
    EXPECT_EQ(toDuration(1.5), std::chrono::milliseconds(1500));
    EXPECT_EQ(addSaturating(t, Duration::max()), TimePoint::max());
    EXPECT_EQ(addSaturating(TimePoint::max(), std::chrono::seconds(1)), TimePoint::max());
    EXPECT_EQ(addSaturating(t - std::chrono::hours(24 * 365 * 100), Duration::min()), TimePoint::min());
    EXPECT_GT(secondsBetween(TimePoint::min(), TimePoint::max()), 1.8e10) << "no wrap-around";
    EXPECT_EQ(secondsBetween(t, t + std::chrono::milliseconds(1500)), 1.5);
    EXPECT_EQ(fromFileTime(1796508000, 5), t + std::chrono::nanoseconds(5));
    EXPECT_EQ(fromFileTime(32503680000, 0), TimePoint::max()) << "the year 3000";
    EXPECT_EQ(fromFileTime(-32503680000, 0), TimePoint::min());
}

TEST(VirtualScheduler, AnEndlessDelayNeverComesDue) {
    VirtualScheduler s;
    int fired = 0;
    auto never = s.after(Duration::max(), [&] { ++fired; });
    auto rare = s.every(Duration::max(), [&] { ++fired; });
    s.advance(std::chrono::hours(24 * 365));
    EXPECT_EQ(fired, 0);
}
