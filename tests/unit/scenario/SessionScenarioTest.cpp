// Whole sessions through the simulator's runner (the real orchestration and engines over the
// fakes, on virtual time): the session logs line by line and what the fakes recorded.

#include "journal/analysis/SessionAnalysis.h"
#include "tests/support/ScenarioRun.h"
#include "tests/support/SessionLogLines.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mirl;
using test::ScenarioRun;

namespace {

using Lines = std::vector<std::string>;

/// The orchestration's own records and the fade engine's session records, in order.
const std::vector<std::string> kSessionEvents{"session_start",
                                              "timer_started",
                                              "recording_disabled_by_pref",
                                              "detector_started",
                                              "detector_error",
                                              "detector_stopped",
                                              "session_end",
                                              "session_baseline_captured",
                                              "autofader_start",
                                              "autofader_stop",
                                              "autofader_timer_fade_begin",
                                              "autofader_fade_begin",
                                              "autofader_accelerated",
                                              "timer_fired",
                                              "baseline_restored",
                                              "timer_extended",
                                              "prewarn_shown",
                                              "prewarn_extend_clicked",
                                              "prewarn_sleep_now_clicked",
                                              "timer_prewarn",
                                              "nap_wake_begin",
                                              "autofader_wake_begin"};

std::vector<std::string> orchestration(const std::vector<nlohmann::json>& log) {
    return test::recordsNamed(log, kSessionEvents);
}

double at(const nlohmann::json& record) {
    return record.at("t").get<double>();
}

/// Entries of a records channel that have the given "call".
std::vector<double> callTimes(const nlohmann::json& channel, const std::string& call) {
    std::vector<double> out;
    for (const auto& entry : channel)
        if (entry.value("call", std::string()) == call)
            out.push_back(at(entry));
    return out;
}

} // namespace

TEST(SessionScenario, DefaultStartOrderAndTheJournalReadsTheLog) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"}, "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 30}], "until": 10})");
    run.finish();
    const auto log = run.onlyLog();
    const auto lines = test::withoutStamps(log);
    ASSERT_GE(lines.size(), 12u);
    const Lines head{
        R"({"event":"session_start","macos":"mirl-sim","recording_file":"audio-2026-12-05-2200.m4a","session_file":"session-2026-12-05-2200.jsonl"})",
        R"({"event":"timer_started","minutes":31})", R"({"event":"recording_disabled_by_pref"})",
        R"({"event":"audio_pipeline_step","step":"before_detector_start"})"};
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), head);
    // Then the detector's own start records, and "detector_started".
    const auto started = std::find(lines.begin(), lines.end(), R"({"event":"detector_started"})");
    ASSERT_NE(started, lines.end());
    EXPECT_GT(started - lines.begin(), 4) << "the detector writes its own start records first";
    for (auto it = lines.begin() + 4; it != started; ++it)
        EXPECT_EQ(std::find(head.begin(), head.end(), *it), head.end());
    const Lines tail{
        R"({"event":"session_baseline_captured","initial_volume":40})",
        R"({"duration_min":31,"event":"autofader_start","initial_volume":40,"target_volume_pct":35})",
        R"({"ambiance_from":0.0,"ambiance_to":0.8,"event":"autofader_timer_fade_begin","fade_duration_sec":1800,"volume_from":40.0,"volume_to":14.0})",
        R"({"device":1,"event":"volume_monitor_started","initial_percent":40})"};
    ASSERT_GE(lines.end() - started, 5);
    EXPECT_EQ(Lines(started + 1, started + 5), tail);
    for (const auto& record : log)
        EXPECT_EQ(record.at("ts").get<std::string>().substr(0, 17), "2026-12-05T22:00:");

    // The journal's own reader takes every line.
    const auto analysis = analyzeSession(test::sessionLogs(run.folder()).front());
    ASSERT_TRUE(analysis);
    EXPECT_EQ(analysis->events.size(), log.size());
}

TEST(SessionScenario, NoMicrophoneModeWritesNoLogButFades) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night", "privacy.no_microphone": true},
                        "system": {"volume": 40}, "steps": [{"at": 0, "do": "start", "minutes": 30}],
                        "until": 600})");
    run.finish();
    EXPECT_TRUE(run.logs().empty());
    EXPECT_TRUE(run.state()["sessions"].empty());
    EXPECT_TRUE(run.state()["final"]["fader"]["active"]);
    EXPECT_FALSE(run.state()["final"]["session"]["detector_running"]);
    EXPECT_LT(run.state()["final"]["volume"].get<int>(), 40);
    EXPECT_EQ(run.world().microphone.starts, 0) << "the microphone is never opened";
}

TEST(SessionScenario, NapFadeLengths) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "nap"}, "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 30}, {"at": 60, "do": "cancel"},
                                  {"at": 120, "do": "start", "minutes": 2}],
                        "until": 200})");
    run.finish();
    const auto logs = run.logs();
    ASSERT_EQ(logs.size(), 2u);
    const auto fades = [](const std::vector<nlohmann::json>& log) {
        return test::recordsNamed(log, {"autofader_start", "autofader_timer_fade_begin"});
    };
    EXPECT_EQ(
        fades(logs[0]),
        (Lines{
            R"({"duration_min":31,"event":"autofader_start","initial_volume":40,"target_volume_pct":35})",
            R"({"ambiance_from":0.0,"ambiance_to":0.8,"event":"autofader_timer_fade_begin","fade_duration_sec":1620,"volume_from":40.0,"volume_to":14.0})"}));
    EXPECT_EQ(
        fades(logs[1]),
        (Lines{
            R"({"duration_min":3,"event":"autofader_start","initial_volume":40,"target_volume_pct":35})",
            R"({"ambiance_from":0.0,"ambiance_to":0.8,"event":"autofader_timer_fade_begin","fade_duration_sec":60,"volume_from":40.0,"volume_to":14.0})"}));
}

TEST(SessionScenario, TheFadeDeadlineHoldsOnlyForNight) {
    // Activity cancels the timer fade at 100 s; 60 s of idleness later (the cooldown of 30 s is
    // over) an idle fade begins with 440 s left: Night cuts it to them, Nap keeps its 540 s.
    for (const auto& [mode, duration] : {std::pair{"night", 440}, std::pair{"nap", 540}}) {
        ScenarioRun run(std::string(R"({"settings": {"mode.timer_mode": ")") + mode + R"(",
                        "fade.idle_threshold_sec": 60, "fade.cooldown_sec": 30},
                        "steps": [{"at": 0, "do": "start", "minutes": 10}, {"at": 99, "do": "input"}],
                        "until": 200})");
        run.finish();
        const auto log = run.onlyLog();
        EXPECT_EQ(
            test::recordsNamed(log, {"autofader_reset_by_user_activity", "autofader_triggered_by_idle"}),
            (Lines{R"({"event":"autofader_reset_by_user_activity","idle_sec":1.0})",
                   R"({"event":"autofader_triggered_by_idle","idle_sec":61.0,"remaining_timer_sec":440.0})"}))
            << mode;
        const auto fade = test::recordsNamed(log, {"autofader_fade_begin"});
        ASSERT_EQ(fade.size(), 1u) << mode;
        EXPECT_EQ(nlohmann::json::parse(fade[0])["fade_duration_sec"], duration) << mode;
    }
}

TEST(SessionScenario, OutsideVolumeChangesOfFivePointsAreIgnoredAndOfSixTaken) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"}, "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 60},
                                  {"at": 11, "do": "set_volume", "percent": 45},
                                  {"at": 21, "do": "set_volume", "percent": 46}],
                        "until": 30})");
    run.finish();
    EXPECT_EQ(test::recordsNamed(run.onlyLog(), {"volume_system_override_detected"}),
              Lines{R"({"actual":46,"event":"volume_system_override_detected","via":"coreaudio_listener"})"});
    EXPECT_EQ(run.state()["final"]["volume"], 46) << "the paused channel leaves the user's volume";
    // The fade wrote over the 45 at its next step (12 s); nothing after the 46.
    std::vector<double> writes;
    for (const auto& entry : run.records("volume_writes"))
        writes.push_back(at(entry));
    EXPECT_TRUE(std::count(writes.begin(), writes.end(), 12.0));
    EXPECT_LT(writes.back(), 21.0);
}

TEST(SessionScenario, NapWakeSoundStartsAtTheEndAndCancelStopsIt) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "nap", "fade.accelerators_enabled": false},
                        "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 10}], "until": 660})");
    run.finish();
    const auto end = orchestration(run.onlyLog());
    ASSERT_GE(end.size(), 5u);
    EXPECT_EQ(Lines(end.end() - 5, end.end()),
              (Lines{R"({"event":"timer_fired","mode":"nap","will_sleep":false})",
                     R"({"event":"baseline_restored","reason":"timer_fired_before_sleep","volume":40})",
                     R"({"event":"baseline_restored","reason":"timer_fired_no_sleep"})",
                     R"({"event":"detector_stopped","reason":"timer_cancelled_or_fired"})",
                     R"({"event":"session_end","reason":"timer_cancelled_or_fired"})"}));
    const auto log = test::recordsNamed(run.onlyLog(), {"nap_wake_begin", "autofader_wake_begin"});
    EXPECT_EQ(
        log,
        (Lines{
            R"({"event":"nap_wake_begin","remaining_sec":180,"wake_lead_sec":180})",
            R"({"ambiance_from":0.8,"event":"autofader_wake_begin","volume_from":14.0,"volume_to":40.0,"wake_duration_sec":180})"}));
    const auto sound = run.records("wake_sound");
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(sound[0]["file"], "Birds.m4a");
    EXPECT_EQ(callTimes(sound, "play"), std::vector<double>{600.0});
    EXPECT_EQ(run.state()["final"]["suspend_calls"], 0);
    EXPECT_TRUE(run.state()["final"]["wake_sound_playing"]) << "nobody touched the machine yet";

    ScenarioRun cancelled(R"({"settings": {"mode.timer_mode": "nap"},
                              "steps": [{"at": 0, "do": "start", "minutes": 10}, {"at": 500, "do": "cancel"}],
                              "until": 700})");
    cancelled.finish();
    EXPECT_TRUE(cancelled.records("wake_sound").empty()) << "cancelled before it was due";

    ScenarioRun stopped(R"({"settings": {"mode.timer_mode": "nap"},
                            "steps": [{"at": 0, "do": "start", "minutes": 10}, {"at": 610, "do": "input"}],
                            "until": 700})");
    stopped.finish();
    EXPECT_EQ(callTimes(stopped.records("wake_sound"), "stop"), std::vector<double>{610.5})
        << "the next activity check";
}

TEST(SessionScenario, DetectionSwitchedOffAndOnOpensASecondLog) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"},
                        "steps": [{"at": 0, "do": "start", "minutes": 30},
                                  {"at": 20, "do": "switch_detection", "on": false},
                                  {"at": 40, "do": "switch_detection", "on": true}],
                        "until": 100})");
    run.finish();
    const auto logs = run.logs();
    ASSERT_EQ(logs.size(), 2u) << "the same minute gets its own name";
    const auto first = test::withoutStamps(logs[0]);
    EXPECT_EQ(Lines(first.end() - 2, first.end()),
              (Lines{R"({"event":"detector_stopped","reason":"user_disabled"})",
                     R"({"event":"session_end","reason":"user_disabled"})"}));
    const auto second = test::withoutStamps(logs[1]);
    ASSERT_GE(second.size(), 2u);
    EXPECT_EQ(
        Lines(second.begin(), second.begin() + 2),
        (Lines{
            R"({"event":"session_start","macos":"mirl-sim","recording_file":"audio-2026-12-05-2200-2.m4a","session_file":"session-2026-12-05-2200-2.jsonl"})",
            R"({"event":"timer_started","minutes":30})"}));
    EXPECT_TRUE(run.state()["final"]["session"]["detector_running"]);
    EXPECT_EQ(run.world().microphone.starts, 2);
}

TEST(SessionScenario, ASleepSignalMidSessionSpeedsTheFadeUp) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"}, "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 60}], "until": 900})");
    run.runner().runUntil(600);
    run.world().engines().detector.phase.set(SleepPhase::asleep); // as the classification concludes
    run.runner().runUntil(700);
    run.world().engines().detector.breathBandAsleepAt.set(run.world().scheduler.now());
    run.finish();
    const auto accelerated = test::recordsNamed(run.onlyLog(), {"autofader_accelerated"});
    ASSERT_EQ(accelerated.size(), 2u);
    const auto first = nlohmann::json::parse(accelerated[0]);
    EXPECT_EQ(first["source"], "phase_asleep");
    EXPECT_EQ(first["new_duration_sec"], 180);
    EXPECT_EQ(nlohmann::json::parse(accelerated[1])["source"], "breathband_asleep");
    EXPECT_DOUBLE_EQ(run.state()["final"]["fader"]["ambiance"].get<double>(), 1.0) << "reached within 180 s";
}

TEST(SessionScenario, NightEndRestoresThenSuspendsHalfASecondLater) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"}, "system": {"volume": 40, "brightness": 0.6},
                        "steps": [{"at": 0, "do": "start", "minutes": 2}], "until": 200})");
    run.finish();
    const auto lines = orchestration(run.onlyLog());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.end() - 5, lines.end()),
              (Lines{R"({"event":"timer_fired","mode":"night","will_sleep":true})",
                     R"({"event":"baseline_restored","reason":"timer_fired_before_sleep","volume":40})",
                     R"({"event":"baseline_restored","reason":"before_system_sleep_at_timer_fired"})",
                     R"({"event":"detector_stopped","reason":"timer_cancelled_or_fired"})",
                     R"({"event":"session_end","reason":"timer_cancelled_or_fired"})"}));
    const auto writes = run.records("volume_writes");
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back()["percent"], 40);
    EXPECT_EQ(at(writes.back()), 120.0);
    const auto suspend = run.records("suspend");
    ASSERT_EQ(suspend.size(), 1u);
    EXPECT_EQ(at(suspend[0]), 120.5);
    EXPECT_FLOAT_EQ(run.state()["final"]["brightness"].get<float>(), 0.6f);
    EXPECT_EQ(run.state()["final"]["gamma"]["brightness"], 1.0);
    EXPECT_TRUE(run.state()["ended"]["asleep"]);
}

TEST(SessionScenario, AlertExtendThenSleepNow) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"},
                        "steps": [{"at": 0, "do": "start", "minutes": 2},
                                  {"at": 70, "do": "alert_extend", "minutes": 10},
                                  {"at": 700, "do": "alert_sleep_now"}],
                        "until": 800})");
    run.finish();
    const auto lines =
        test::recordsNamed(run.onlyLog(), {"timer_prewarn", "prewarn_shown", "prewarn_extend_clicked",
                                           "timer_extended", "prewarn_sleep_now_clicked", "timer_fired"});
    EXPECT_EQ(lines, (Lines{R"({"event":"timer_prewarn","lead_sec":60,"remaining_sec":60})",
                            R"({"event":"prewarn_shown","remaining_sec":60})",
                            R"({"event":"prewarn_extend_clicked","minutes":10})",
                            R"({"event":"timer_extended","extra_minutes":10,"new_remaining_sec":650})",
                            R"({"event":"timer_prewarn","lead_sec":60,"remaining_sec":60})",
                            R"({"event":"prewarn_shown","remaining_sec":60})",
                            R"({"event":"prewarn_sleep_now_clicked"})",
                            R"({"event":"timer_fired","mode":"night","will_sleep":true})"}));
    const auto alert = run.records("alert");
    EXPECT_EQ(callTimes(alert, "open"), (std::vector<double>{60.0, 660.0}));
    EXPECT_EQ(callTimes(alert, "close"), (std::vector<double>{70.0, 700.0}));
    ASSERT_EQ(run.records("suspend").size(), 1u);
    EXPECT_EQ(at(run.records("suspend")[0]), 700.5);
}

TEST(SessionScenario, InactivityCooldownAndMedia) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night", "fade.idle_threshold_sec": 60,
                                     "fade.accelerators_enabled": false},
                        "system": {"media_playing": true},
                        "steps": [{"at": 0, "do": "start", "minutes": 60},
                                  {"at": 9, "do": "input"},
                                  {"at": 100, "do": "media", "on": false}],
                        "until": 400})");
    run.finish();
    const auto lines =
        test::recordsNamed(run.onlyLog(), {"autofader_reset_by_user_activity",
                                           "autofader_idle_trigger_skipped", "autofader_triggered_by_idle"});
    // Cancelled at 10 s; no idle fade during the 300 s cooldown (the video does not matter
    // then); after it the idle fade starts at once, the video having stopped at 100 s.
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], R"({"event":"autofader_reset_by_user_activity","idle_sec":1.0})");
    const auto trigger = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(trigger["idle_sec"], 301.0);
    EXPECT_EQ(trigger["remaining_timer_sec"], 3290.0);

    ScenarioRun video(R"({"settings": {"mode.timer_mode": "night", "fade.idle_threshold_sec": 60,
                                       "fade.cooldown_sec": 10, "fade.accelerators_enabled": false},
                          "system": {"media_playing": true},
                          "steps": [{"at": 0, "do": "start", "minutes": 60}, {"at": 9, "do": "input"},
                                    {"at": 88, "do": "media", "on": false}],
                          "until": 95})");
    video.finish();
    const auto skipped = test::recordsNamed(video.onlyLog(), {"autofader_idle_trigger_skipped"});
    EXPECT_EQ(skipped.size(), 4u) << "70, 75, 80 and 85 s";
    EXPECT_EQ(
        skipped[0],
        R"({"event":"autofader_idle_trigger_skipped","idle_sec":61.0,"reason":"media_playback_active"})");
    EXPECT_EQ(test::recordsNamed(video.onlyLog(), {"autofader_triggered_by_idle"}).size(), 1u) << "at 90 s";
}

TEST(SessionScenario, SleepAndWakeMidSessionAtNight) {
    ScenarioRun run(R"({"start": "2026-12-05T23:00:00", "settings": {"mode.timer_mode": "night"},
                        "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 90},
                                  {"at": 1805, "do": "system_sleep"},
                                  {"at": 2400, "do": "system_wake"}],
                        "until": 2401})");
    run.runner().runUntil(2399);
    const int beforeWake = *run.world().audio.outputs[1].volume;
    run.finish();
    const auto lines = test::withoutStamps(run.onlyLog());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
              (Lines{R"({"event":"detector_stopped","reason":"system_will_sleep"})",
                     R"({"event":"session_end","reason":"system_will_sleep"})"}));
    // The wake at 23:40 (no light sensor: night): the volume halfway back to the baseline, the
    // screen at the partial level; the running session's fade then goes on.
    const auto atWake = [](const nlohmann::json& channel) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& entry : channel)
            if (at(entry) == 2400.0)
                out.push_back(entry);
        return out;
    };
    const auto writes = atWake(run.records("volume_writes"));
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_LT(beforeWake, 20);
    EXPECT_EQ(writes[0]["percent"], (beforeWake + 40) / 2);
    EXPECT_EQ(run.state()["final"]["baseline_volume"], 40);
    const auto overlay = atWake(run.records("overlay"));
    ASSERT_FALSE(overlay.empty());
    EXPECT_FLOAT_EQ(overlay.back()["orange"].get<float>(), 0.07f);
    EXPECT_FLOAT_EQ(overlay.back()["dark"].get<float>(), 0.3f);
    EXPECT_TRUE(run.state()["final"]["timer"]["running"]) << "the timer is left alone";
    EXPECT_FALSE(run.state()["final"]["session"]["detector_running"]);
}

TEST(SessionScenario, AfterTheNightTheMorningWakeRestoresByDaylight) {
    ScenarioRun run(R"({"start": "2026-12-05T23:00:00", "settings": {"mode.timer_mode": "night"},
                        "system": {"volume": 40, "lux": 2},
                        "steps": [{"at": 0, "do": "start", "minutes": 30},
                                  {"at": 28800, "do": "lux", "value": 300},
                                  {"at": 29000, "do": "system_wake"}],
                        "until": 29010})");
    run.finish();
    EXPECT_EQ(run.records("suspend").size(), 1u);
    // The end of the timer restored everything; the wake by day restores (nothing) again.
    EXPECT_TRUE(run.state()["final"]["overlay"].empty());
    EXPECT_EQ(run.state()["final"]["gamma"]["brightness"], 1.0);
    EXPECT_EQ(run.state()["final"]["volume"], 40);
    EXPECT_FALSE(run.state()["ended"]["asleep"]);
    EXPECT_EQ(run.state()["final"]["restore_state"], nlohmann::json::array()) << "nothing left to put back";

    ScenarioRun night(R"({"start": "2026-12-05T23:00:00", "settings": {"mode.timer_mode": "night"},
                          "system": {"volume": 40, "lux": 2},
                          "steps": [{"at": 0, "do": "start", "minutes": 30}, {"at": 7200, "do": "system_wake"}],
                          "until": 7210})");
    night.finish();
    const auto dimmed = night.records("overlay");
    EXPECT_FLOAT_EQ(dimmed.back()["dark"].get<float>(), 0.3f) << "woken at 01:00: the screen stays dim";
    EXPECT_EQ(night.state()["final"]["volume"], 40) << "no baseline is held after the timer's own restore";
}

TEST(SessionScenario, QuitPutsTheScreenBackAndKeepsTheVolumeForTheNextLaunch) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night"}, "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 30}, {"at": 600, "do": "quit"},
                                  {"at": 700, "do": "input"}],
                        "until": 900})");
    run.finish();
    EXPECT_EQ(run.state()["ended"]["by"], "quit");
    EXPECT_EQ(run.state()["ended"]["t"], 600.0);
    EXPECT_TRUE(run.state()["final"]["overlay"].empty());
    EXPECT_EQ(run.state()["final"]["gamma"]["brightness"], 1.0);
    EXPECT_FLOAT_EQ(run.state()["final"]["brightness"].get<float>(), 0.8f);
    EXPECT_LT(run.state()["final"]["volume"].get<int>(), 40);
    EXPECT_EQ(run.state()["final"]["restore_state"], nlohmann::json::array({"volume"}));
    EXPECT_NE(test::eventNames(run.onlyLog()).back(), "session_end") << "a quit leaves the log open-ended";
}

TEST(SessionScenario, AHeadsetPluggedInMovesTheVolumeMonitorAndRebuildsTheCapture) {
    ScenarioRun run(R"({"settings": {"mode.timer_mode": "night", "fade.accelerators_enabled": false},
                        "system": {"volume": 40},
                        "steps": [{"at": 0, "do": "start", "minutes": 30},
                                  {"at": 60, "do": "device_change", "volume": 70}],
                        "until": 70})");
    run.finish();
    const auto lines =
        test::recordsNamed(run.onlyLog(), {"volume_monitor_device_changed", "audio_pipeline_change",
                                           "audio_pipeline_restart_begin", "audio_pipeline_restart_ok",
                                           "volume_system_override_detected"});
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(nlohmann::json::parse(lines[0])["event"], "volume_monitor_device_changed");
    EXPECT_EQ(lines[1], R"({"event":"audio_pipeline_change","reason":"default_input_changed"})");
    EXPECT_EQ(nlohmann::json::parse(lines.back())["event"], "audio_pipeline_restart_ok");
    EXPECT_EQ(run.state()["final"]["output_device"], 2);
    EXPECT_EQ(run.world().microphone.starts, 2) << "the capture was rebuilt on the new input";
}

TEST(SessionScenario, StepsTheComputerCannotTakeAreReported) {
    ScenarioRun run(R"({"steps": [{"at": 5, "do": "alert_sleep_now"}, {"at": 6, "do": "system_wake"},
                                  {"at": 7, "do": "system_sleep"}, {"at": 8, "do": "start", "minutes": 5}],
                        "until": 10})");
    run.finish();
    EXPECT_EQ(run.state()["warnings"],
              nlohmann::json::array({"step 1 (alert_sleep_now): no pre-sleep alert is shown; ignored",
                                     "step 2 (system_wake): the computer is not asleep; ignored",
                                     "step 4 (start): the computer is asleep; ignored"}));
    EXPECT_FALSE(run.state()["final"]["timer"]["running"]);
}
