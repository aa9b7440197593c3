#include "core/session/PreSleepAlertController.h"
#include "core/session/FakeAlertPanel.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class AlertTest : public ::testing::Test {
protected:
    VirtualScheduler scheduler;
    FakeAlertPanel panel;
    test::RecordingEventSink events;
    PreSleepAlertController alert{panel, scheduler, scheduler, events};
};

} // namespace

TEST(AlertCountdownText, RoundsUpAndNeverGoesBelowZero) {
    struct Row {
        double seconds;
        const char* text;
    };
    for (auto row : {Row{60, "sleep in 1:00"}, Row{59.2, "sleep in 1:00"}, Row{59, "sleep in 0:59"},
                     Row{0.1, "sleep in 0:01"}, Row{0, "sleep in 0:00"}, Row{-3, "sleep in 0:00"},
                     Row{61, "sleep in 1:01"}, Row{3599.5, "sleep in 60:00"}})
        EXPECT_EQ(alertCountdownText(row.seconds), row.text) << row.seconds;
}

TEST_F(AlertTest, CountsDownEveryHalfSecondAndClosesItselfAtTheDeadline) {
    alert.show(60);
    EXPECT_TRUE(alert.isShown());
    EXPECT_EQ(panel.calls, (std::vector<std::string>{"open", "text sleep in 1:00"}));
    ASSERT_EQ(events.named("prewarn_shown").size(), 1u);
    EXPECT_EQ(events.named("prewarn_shown")[0].dump(), R"({"remaining_sec":60})");

    scheduler.advance(500ms);
    EXPECT_EQ(panel.text, "sleep in 1:00") << "59.5 s round up to a minute";
    scheduler.advance(500ms);
    EXPECT_EQ(panel.text, "sleep in 0:59");
    scheduler.advance(58s);
    EXPECT_EQ(panel.text, "sleep in 0:01");
    EXPECT_TRUE(panel.isOpen);
    scheduler.advance(500ms);
    EXPECT_TRUE(panel.isOpen) << "half a second left still shows 0:01";
    scheduler.advance(500ms);
    EXPECT_FALSE(alert.isShown());
    EXPECT_FALSE(panel.isOpen);
    EXPECT_EQ(panel.closes, 1);
    EXPECT_FALSE(alert.deadline());
    scheduler.advance(10s);
    EXPECT_EQ(panel.calls.back(), "close") << "the countdown stopped with the panel";
}

TEST_F(AlertTest, ShowingAgainMovesTheDeadlineWithoutASecondPanel) {
    alert.show(59.7);
    EXPECT_EQ(events.named("prewarn_shown")[0].dump(), R"({"remaining_sec":59})") << "truncated";
    scheduler.advance(10s);
    alert.show(120);
    EXPECT_EQ(panel.opens, 1);
    EXPECT_EQ(events.named("prewarn_shown").size(), 1u);
    EXPECT_EQ(panel.text, "sleep in 2:00");
    scheduler.advance(100s);
    EXPECT_TRUE(alert.isShown()) << "the old deadline no longer closes it";
}

TEST_F(AlertTest, ExtendLogsCallsBackAndCloses) {
    std::vector<std::string> order;
    alert.onExtend = [&](int minutes) {
        order.push_back("extend " + std::to_string(minutes) + (panel.isOpen ? " open" : " closed"));
    };
    alert.show(60);
    alert.extendTapped(20);
    EXPECT_EQ(order, std::vector<std::string>{"extend 20 open"});
    EXPECT_FALSE(alert.isShown());
    EXPECT_EQ(events.names(), (std::vector<std::string>{"prewarn_shown", "prewarn_extend_clicked"}));
    EXPECT_EQ(events.named("prewarn_extend_clicked")[0].dump(), R"({"minutes":20})");
    ASSERT_TRUE(alert.onExtend) << "the actions stay set for the next showing";
}

TEST_F(AlertTest, SleepNowClosesBeforeCallingBack) {
    bool closedFirst = false;
    alert.onSleepNow = [&] { closedFirst = !panel.isOpen; };
    alert.show(45);
    alert.sleepNowTapped();
    EXPECT_TRUE(closedFirst);
    EXPECT_EQ(events.names(), (std::vector<std::string>{"prewarn_shown", "prewarn_sleep_now_clicked"}));
    EXPECT_EQ(events.named("prewarn_sleep_now_clicked")[0].dump(), "{}");
}

TEST_F(AlertTest, NothingShownMeansDismissAndButtonsDoNothing) {
    int calls = 0;
    alert.onExtend = [&](int) { ++calls; };
    alert.onSleepNow = [&] { ++calls; };
    alert.dismiss();
    alert.extendTapped(10);
    alert.sleepNowTapped();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(panel.calls.empty());
    EXPECT_TRUE(events.names().empty());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(AlertTest, MissingCallbacksAreSkipped) {
    alert.show(60);
    alert.extendTapped(10);
    alert.show(60);
    alert.sleepNowTapped();
    EXPECT_EQ(panel.opens, 2) << "a fresh panel for each showing";
    EXPECT_EQ(panel.closes, 2);
}
