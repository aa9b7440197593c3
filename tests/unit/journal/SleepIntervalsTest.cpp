#include "journal/annotations/SleepIntervals.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mirl;

TEST(SleepIntervals, TimeText) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "00:00"},
        {0.49, "00:00"},
        {0.5, "00:01"},
        {59.6, "01:00"},
        {870, "14:30"},
        {5400, "90:00"},
        {36000, "600:00"},
        {-20, "-00:20"},
        {-0.4, "00:00"},
        {NAN, "--:--"},
        {INFINITY, "--:--"},
        {1e12, "16666666666:40"},
        {-1e12, "-16666666666:40"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(timeText(c.seconds), c.text) << c.seconds;
}

TEST(SleepIntervals, TimeTextOfDurationsBeyondAnyInteger) {
    // A recording's length or a log's times may be absurd; converting them to an integer was
    // undefined behaviour (a crash under the sanitizers).
    for (double seconds : {9.3e18, 4.42811e263, 1.7e308}) {
        const std::string text = timeText(seconds);
        ASSERT_GT(text.size(), 5u) << seconds;
        EXPECT_EQ(text.find_first_not_of("0123456789"), text.size() - 3) << text;
        EXPECT_EQ(text[text.size() - 3], ':') << text;
        EXPECT_LE(std::stoi(text.substr(text.size() - 2)), 59) << text;
    }
}

namespace {

enum class Mark { sleep, wake, type };
struct Step {
    Mark mark;
    double seconds = 0;
    const char* typed = ""; // for Mark::type: the field's new text (the user edited it)
};

} // namespace

TEST(SleepIntervals, MarkingRules) {
    struct Case {
        const char* name;
        const char* start;
        std::vector<Step> steps;
        const char* text;
    } cases[] = {
        {"onset then wake-up", "", {{Mark::sleep, 870}, {Mark::wake, 1055}}, "14:30-17:35"},
        {"onset alone", "", {{Mark::sleep, 870}}, "14:30-"},
        {"a further onset",
         "",
         {{Mark::sleep, 870}, {Mark::wake, 1055}, {Mark::sleep, 1330}},
         "14:30-17:35, 22:10-"},
        {"two intervals",
         "",
         {{Mark::sleep, 870}, {Mark::wake, 1055}, {Mark::sleep, 1330}, {Mark::wake, 1680}},
         "14:30-17:35, 22:10-28:00"},
        {"wake-up without onset on an empty field", "", {{Mark::wake, 1055}}, "17:35"},
        {"wake-up without onset after text", "14:30-17:35", {{Mark::wake, 1800}}, "14:30-17:35, 30:00"},
        {"two onsets in a row", "", {{Mark::sleep, 870}, {Mark::sleep, 900}}, "14:30-15:00-"},
        {"two onsets then a wake-up",
         "",
         {{Mark::sleep, 870}, {Mark::sleep, 900}, {Mark::wake, 1055}},
         "15:00-17:35"},
        {"two onsets after closed intervals",
         "10:00-11:00",
         {{Mark::sleep, 870}, {Mark::sleep, 900}, {Mark::wake, 1055}},
         "10:00-11:00, 15:00-17:35"},
        {"after a trailing comma and blank", "10:00-11:00, ", {{Mark::sleep, 870}}, "10:00-11:00, 14:30-"},
        {"the user edited the field after the onset",
         "",
         {{Mark::sleep, 870}, {Mark::type, 0, "14:30-16:00"}, {Mark::wake, 1055}},
         "14:30-16:00, 17:35"},
        {"a blank before the open interval",
         "",
         {{Mark::sleep, 870}, {Mark::type, 0, "night 14:30-"}, {Mark::wake, 1055}},
         "night 14:30-17:35"},
        {"a leading blank only",
         "",
         {{Mark::sleep, 870}, {Mark::type, 0, " 14:30-"}, {Mark::wake, 1055}},
         "14:30-17:35"},
        {"the pending onset is used once",
         "",
         {{Mark::sleep, 870}, {Mark::wake, 1055}, {Mark::wake, 1100}},
         "14:30-17:35, 18:20"},
        {"times past an hour", "", {{Mark::sleep, 3725.4}, {Mark::wake, 7322.6}}, "62:05-122:03"},
    };
    for (const auto& c : cases) {
        SleepIntervalsText field{c.start, std::nullopt};
        for (const auto& step : c.steps) {
            if (step.mark == Mark::sleep)
                field.markSleep(step.seconds);
            else if (step.mark == Mark::wake)
                field.markWake(step.seconds);
            else
                field.intervals = step.typed;
        }
        EXPECT_EQ(field.intervals, c.text) << c.name;
        EXPECT_FALSE(field.pendingMarkStart && c.steps.back().mark == Mark::wake) << c.name;
    }
}
