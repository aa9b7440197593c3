#include "app/sim/Scenario.h"
#include "app/sim/ScenarioRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace mirl;
using sim::parseScenario;

TEST(ScenarioFormat, ReadsEveryKeyAndOrdersTheSteps) {
    const auto parsed = parseScenario(R"({
        "start": "2026-06-01T23:15", "timezone": "Europe/Paris",
        "settings": {"mode.timer_mode": "nap", "fade.idle_threshold_sec": 90, "privacy.no_microphone": false,
                     "ambiance.volume_floor_pct": 30.5},
        "system": {"volume": 33, "brightness": 0.5, "lux": 12.5, "media_playing": true, "idle_seconds": null},
        "microphone": "night.m4a",
        "steps": [{"at": 60, "do": "cancel"}, {"at": 0, "do": "start", "minutes": 45},
                  {"at": 60, "do": "lux", "value": null}, {"at": 10, "do": "device_change"}],
        "until": 120})",
                                      "/scenarios");
    ASSERT_TRUE(parsed.scenario) << parsed.error;
    const sim::Scenario& s = *parsed.scenario;
    EXPECT_EQ(s.start, "2026-06-01T23:15");
    EXPECT_EQ(s.timezone, "Europe/Paris");
    ASSERT_EQ(s.settings.size(), 4u);
    EXPECT_EQ(s.volume, 33);
    EXPECT_EQ(s.lux, 12.5);
    EXPECT_TRUE(s.mediaPlaying);
    EXPECT_FALSE(s.idleSeconds) << "null: no idle facility";
    EXPECT_EQ(s.microphone, "/scenarios/night.m4a");
    std::vector<std::string> order;
    for (const auto& step : s.steps)
        order.push_back(step.action + "@" + std::to_string(static_cast<int>(step.at)));
    EXPECT_EQ(order, (std::vector<std::string>{"start@0", "device_change@10", "cancel@60", "lux@60"}))
        << "by time, equal times in file order";
    EXPECT_EQ(s.steps[0].number, 2u);
    EXPECT_EQ(s.until, 120);
}

TEST(ScenarioFormat, BadInputIsOneLineNamingTheStep) {
    struct Row {
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {R"({"until": 10, "steps": [{"at": 1, "do": "jump"}]})", R"(step 1: unknown action "jump")"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "start"}]})",
         R"(step 1 (start): missing field "minutes")"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "start", "minutes": 0}]})",
         R"(step 1 (start): "minutes" must be a whole number from 1 to 1440)"},
        {R"({"until": 10, "steps": [{"do": "cancel"}, {"at": 1, "do": "start", "minute": 5}]})",
         R"(step 1 (cancel): "at" is missing)"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "cancel"}, {"at": 2, "do": "start", "minute": 5}]})",
         R"(step 2 (start): unknown field "minute")"},
        {R"({"until": 10, "steps": [{"at": 1}]})", R"(step 1: "do" is missing)"},
        {R"({"until": 10, "steps": [{"at": 11, "do": "cancel"}]})",
         R"(step 1 (cancel): "at" 11 lies after "until" 10)"},
        {R"({"until": 10, "steps": [{"at": -1, "do": "cancel"}]})",
         R"(step 1 (cancel): "at" must be a number of seconds from 0 on)"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "alert_extend", "minutes": 15}]})",
         R"(step 1 (alert_extend): "minutes" must be 10, 20 or 30)"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "autopilot", "channel": "screen", "on": true}]})",
         R"(step 1 (autopilot): "channel" must be "ambiance" or "volume")"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "media", "on": 1}]})",
         R"(step 1 (media): "on" must be true or false)"},
        {R"({"until": 10, "steps": [{"at": 1, "do": "set_brightness", "level": 2}]})",
         R"(step 1 (set_brightness): "level" must be a number from 0 to 1)"},
        {R"({"until": 10, "steps": "start"})", R"("steps" must be a list)"},
        {R"({"steps": []})", R"("until" is missing (the second at which the simulation ends))"},
        {R"({"until": 10, "untill": 5})", R"(unknown key "untill")"},
        {R"({"until": 10, "timezone": "Mars/Olympus"})", R"("timezone": unknown time zone "Mars/Olympus")"},
        {R"({"until": 10, "start": "tonight"})",
         R"("start" must be a date-time like "2026-12-05T22:00:00" (local) or "2026-12-05T21:00:00Z")"},
        {R"({"until": 10, "system": {"volume": 140}})",
         R"("system" "volume" must be a whole number from 0 to 100)"},
        {R"({"until": 10, "system": {"fan": 1}})", R"(unknown key "system" "fan")"},
        {R"({"until": 10, "settings": {"mode.timer_mode": ["night"]}})",
         R"(setting "mode.timer_mode" must be true, false, a number or a text)"},
        // Found by fuzzing: a start after 2262 overflowed the clock, and an end a billion
        // seconds away kept mirl-sim ticking for days.
        {R"({"until": 10, "start": "9999-12-31T23:59:59"})",
         R"("start" must be a date-time like "2026-12-05T22:00:00" (local) or "2026-12-05T21:00:00Z")"},
        {R"({"until": 1e12})",
         R"("until" must be a number of seconds greater than 0 and at most 604800 (a week))"},
        {R"([1, 2])", "a scenario is a JSON object"},
    };
    for (const auto& row : rows) {
        const auto parsed = parseScenario(row.text);
        EXPECT_FALSE(parsed.scenario) << row.text;
        EXPECT_EQ(parsed.error, row.error) << row.text;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
    const auto broken = parseScenario(R"({"until": 10,)");
    EXPECT_EQ(broken.error.rfind("not valid JSON (", 0), 0u) << broken.error;
    EXPECT_EQ(broken.error.find('\n'), std::string::npos);
}

TEST(ScenarioFormat, StartIsLocalUnlessItNamesItsOffset) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ::setenv("TZ", "Europe/Paris", 1);
    ::tzset();
    const TimePoint local = sim::scenarioStartTime("2026-12-05T23:00:00");
    for (const char* same : {"2026-12-05T22:00:00Z", "2026-12-05T23:00:00+01:00",
                             "2026-12-05 23:00:00.250+0100", "2026-12-05T17:00-05:00", "2026-12-05T23:00"})
        EXPECT_EQ(sim::scenarioStartTime(same), local) << same;
    if (previous)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    for (const char* bad : {"2026-12-05", "2026-12-05T23:00:00+1", "2026-12-05T23:00:00.Z",
                            "2026-13-05T23:00", "2026-12-05T23:00:00 UTC", "2026-12-05T23:00:00+15:00"})
        EXPECT_FALSE(sim::parseScenarioDateTime(bad)) << bad;
}
