#include "core/probes/DayNight.h"
#include "platform/fake/FakeActivityProbes.h"
#include "runtime/VirtualScheduler.h"

#include <gtest/gtest.h>

using namespace mirl;

namespace {
TimePoint at(int hour, int minute) {
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour) + std::chrono::minutes(minute);
}
} // namespace

TEST(DayNight, WithoutASensorTheClockDecides) {
    FakeActivityProbes probes;
    struct Row {
        int hour, minute;
        bool night;
    };
    for (auto row :
         {Row{6, 59, true}, Row{7, 0, false}, Row{20, 59, false}, Row{21, 0, true}, Row{0, 0, true}}) {
        VirtualScheduler clock(at(row.hour, row.minute));
        EXPECT_EQ(isNightByLight(probes, clock), row.night) << row.hour << ":" << row.minute;
    }
}

TEST(DayNight, ASensorReadingOverridesTheClock) {
    FakeActivityProbes probes;
    VirtualScheduler noon(at(12, 0));
    probes.lux = 50.0;
    EXPECT_TRUE(isNightByLight(probes, noon));
    probes.lux = 50.1;
    VirtualScheduler midnight(at(0, 0));
    EXPECT_FALSE(isNightByLight(probes, midnight));
}
