#include "ui/shell/RemoteStatus.h"
#include "ui/shell/RemoteControl.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using namespace mirl;

TEST(RemoteStatus, JsonHasEveryKeyWithNullForWhatIsUnknown) {
    RemoteStatus idle;
    idle.mode = "night";
    const auto json = nlohmann::json::parse(statusJson(idle));
    EXPECT_EQ(json["running"], false);
    EXPECT_EQ(json["remaining_sec"], 0);
    EXPECT_EQ(json["mode"], "night");
    EXPECT_TRUE(json["phase"].is_null());
    EXPECT_TRUE(json["breath_rpm"].is_null());
    EXPECT_EQ(statusJson(idle).find('\n'), std::string::npos);

    RemoteStatus running{true, 4199, "69:59", "nap", "deep_asleep", 13.46};
    const auto full = nlohmann::json::parse(statusJson(running));
    EXPECT_EQ(full["remaining_sec"], 4199);
    EXPECT_EQ(full["remaining_text"], "69:59");
    EXPECT_EQ(full["phase"], "deep_asleep");
    EXPECT_DOUBLE_EQ(full["breath_rpm"].get<double>(), 13.5);
}

TEST(RemoteStatus, TextForPeople) {
    RemoteStatus idle;
    idle.mode = "nap";
    EXPECT_EQ(statusText(idle), "No timer is running (a timer started now would be a Nap).\n");
    RemoteStatus running{true, 1799, "29:59", "night", "deep_asleep", 13.4};
    EXPECT_EQ(statusText(running),
              "29:59 left (Night)\nSleep phase: deep asleep\nBreathing: 13 rpm (calm)\n");
    running.phase.reset();
    running.breathRpm.reset();
    EXPECT_EQ(statusText(running), "29:59 left (Night)\n");
}

TEST(RemoteStatus, SurvivesTheBusMap) {
    const RemoteStatus sent{true, 61, "1:01", "night", "calming", 9.5};
    const RemoteStatus got = remote::statusFromMap(remote::statusToMap(sent));
    EXPECT_EQ(got.running, sent.running);
    EXPECT_EQ(got.remainingSeconds, sent.remainingSeconds);
    EXPECT_EQ(got.remainingText, sent.remainingText);
    EXPECT_EQ(got.mode, sent.mode);
    EXPECT_EQ(got.phase, sent.phase);
    EXPECT_EQ(got.breathRpm, sent.breathRpm);
    const RemoteStatus bare = remote::statusFromMap(remote::statusToMap(RemoteStatus{}));
    EXPECT_FALSE(bare.phase.has_value());
    EXPECT_FALSE(bare.breathRpm.has_value());
}
