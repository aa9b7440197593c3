#include "core/settings/SettingsKeys.h"
#include "detect/OfflineReplay.h"
#include "platform/fake/MemoryAudioFileReader.h"
#include "tests/unit/detect/DetectorWorld.h"

#include <gtest/gtest.h>

#include <set>

using namespace mirl;
using namespace mirl::test;
using Strings = std::vector<std::string>;

namespace {

const Strings kStartRecords = {"mic_authorization",   "audio_input_pref", "audio_pipeline_step",
                               "audio_pipeline_step", "audio_mode",       "audio_input"};

class SleepDetectorTest : public DetectorWorld {};

} // namespace

TEST_F(SleepDetectorTest, StartWritesItsRecordsInOrderAndSetsUpOnTheFirstBuffer) {
    ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
    EXPECT_TRUE(detector->isRunning());
    EXPECT_EQ(events.names(), kStartRecords);
    const auto all = events.events();
    EXPECT_EQ(all[0].payload, (EventPayload{{"status", "authorized"}}));
    EXPECT_EQ(all[1].payload, (EventPayload{{"mode", "system_default"}}));
    EXPECT_EQ(all[2].payload, (EventPayload{{"step", "before_input_node"}}));
    EXPECT_EQ(all[3].payload, (EventPayload{{"step", "after_input_node"}}));
    EXPECT_EQ(all[4].payload, (EventPayload{{"voice_processing_disabled", false},
                                            {"voice_processing_touched", false},
                                            {"tap_sample_rate", 8000.0},
                                            {"tap_channels", 1},
                                            {"restart", false}}));
    EXPECT_EQ(all[5].payload, (EventPayload{{"device_name", "Fake microphone"},
                                            {"device_uid", "fake.mic"},
                                            {"sample_rate", 8000.0},
                                            {"channels", 1}}));

    advance(1.0); // the first buffer is captured at 1.024 s
    EXPECT_EQ(events.names().size(), kStartRecords.size());
    advance(0.1);
    EXPECT_EQ(events.names(),
              (Strings{"mic_authorization", "audio_input_pref", "audio_pipeline_step", "audio_pipeline_step",
                       "audio_mode", "audio_input", "breathband_started", "audio_analysis_ready"}));
    EXPECT_TRUE(files.files().empty()); // no recording asked for
}

TEST_F(SleepDetectorTest, PreferredInputIsMadeTheDefaultBeforeThePipeline) {
    struct Case {
        const char* name;
        std::string uid;
        bool refuse, unreadable;
        EventPayload expected;
        std::uint32_t defaultAfter;
    };
    const std::vector<Case> cases = {
        {"unset", "", false, false, {{"mode", "system_default"}}, 1},
        {"applied",
         "usb",
         false,
         false,
         {{"mode", "preferred_applied"},
          {"device_name", "USB mic"},
          {"device_uid", "usb"},
          {"previous_id", 1u}},
         7},
        {"previous unreadable",
         "usb",
         false,
         true,
         {{"mode", "preferred_applied"},
          {"device_name", "USB mic"},
          {"device_uid", "usb"},
          {"previous_id", 0u}},
         7},
        {"missing", "gone", false, false, {{"mode", "preferred_missing"}, {"wanted_uid", "gone"}}, 1},
        {"switch refused",
         "usb",
         true,
         false,
         {{"mode", "preferred_switch_failed"}, {"device_name", "USB mic"}, {"device_uid", "usb"}},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        inputs.devices = {{1, "Built-in", "builtin"}, {7, "USB mic", "usb"}, {9, "USB mic twin", "usb"}};
        inputs.defaultId = 1;
        inputs.refuseSwitch = c.refuse;
        inputs.defaultReadable = !c.unreadable;
        settings.writeString(keys::detectorPreferredInputDeviceUid, c.uid);
        ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
        EXPECT_EQ(events.names(), kStartRecords);
        EXPECT_EQ(events.named("audio_input_pref").at(0), c.expected);
        EXPECT_EQ(inputs.defaultId, c.defaultAfter);
        detector->stop();
    }
}

TEST_F(SleepDetectorTest, AFailedEngineStartIsRetriedOnce) {
    microphone.startFailures = {"Connection refused"};
    ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
    EXPECT_EQ(events.names(), (Strings{"mic_authorization", "audio_input_pref", "audio_pipeline_step",
                                       "audio_pipeline_step", "audio_mode", "audio_engine_start_failed",
                                       "audio_engine_start_retry_ok", "audio_input"}));
    EXPECT_EQ(events.named("audio_engine_start_failed")[0],
              (EventPayload{{"error", "Connection refused"}, {"will_retry", true}}));
    EXPECT_EQ(events.named("audio_engine_start_retry_ok")[0], EventPayload::object());
    EXPECT_EQ(microphone.resets, 1);
    EXPECT_TRUE(detector->isRunning());
}

TEST_F(SleepDetectorTest, AStartThatFailsTwiceOrCannotTapLeavesTheDetectorStopped) {
    struct Case {
        const char* name;
        std::deque<std::string> tapFailures, startFailures;
        std::string error;
        EventPayload lastEvent;
    };
    const std::vector<Case> cases = {
        {"second start fails", {}, {"first", "second"}, "second", {{"error", "first"}, {"will_retry", true}}},
        {"tap refused", {"no bus 0"}, {}, "installTap threw: no bus 0", {{"error", "no bus 0"}}},
        {"tap refused without reason", {""}, {}, "installTap threw: ?", {{"error", "unknown"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        microphone.tapFailures = c.tapFailures;
        microphone.startFailures = c.startFailures;
        EXPECT_EQ(detector->start(kRecording), c.error);
        EXPECT_FALSE(detector->isRunning());
        EXPECT_EQ(events.events().back().payload, c.lastEvent);
        EXPECT_TRUE(events.named("audio_input").empty());
        // Nothing of a running detector: no observers, no capture, no telemetry, no recording.
        EXPECT_EQ(microphone.watcherCount(), 0u);
        const auto before = events.names().size();
        advance(120);
        EXPECT_EQ(events.names().size(), before);
        EXPECT_TRUE(files.files().empty());
    }
}

TEST_F(SleepDetectorTest, AnalyzerAndRecordingAreSetUpOncePerUsableFormat) {
    microphone.playSamples(std::vector<float>(8192 * 80, 0.25f), kRate);
    microphone.setFormat({0, 1});
    ASSERT_EQ(detector->start(kRecording), std::nullopt);
    EXPECT_EQ(events.named("audio_mode")[0]["tap_sample_rate"], 0.0);
    advance(1.1);
    microphone.setFormat({kRate, 0});
    advance(1.1);
    // Rate 0, then no channels: nothing is set up, nothing recorded, nothing classified.
    EXPECT_TRUE(events.named("audio_analysis_ready").empty());
    EXPECT_TRUE(files.files().empty());
    EXPECT_EQ(classifier->calls, 0);

    microphone.setFormat({kRate, 1});
    advance(3 * 1.024);
    ASSERT_EQ(files.files().size(), 1u);
    EXPECT_EQ(files.files()[0].path, kRecording);
    EXPECT_EQ(files.files()[0].sampleRate, 8000);
    EXPECT_EQ(files.files()[0].interleaved.size(), 3u * 8192);
    EXPECT_EQ(files.files()[0].interleaved[100], 0.25f);
    EXPECT_EQ(events.named("audio_analysis_ready").size(), 1u);

    // Another format within the same build goes on in the next part; the first part keeps its audio.
    microphone.setFormat({16000, 2});
    advance(2 * 1.024);
    auto made = files.files();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_TRUE(made[0].closed);
    EXPECT_EQ(made[0].interleaved.size(), 3u * 8192);
    EXPECT_EQ(made[1].path, "/rec/audio-2026-12-05-2200-part2.m4a");
    EXPECT_EQ(made[1].sampleRate, 16000);
    EXPECT_EQ(made[1].channels, 1); // channel 0, as the detectors hear it
    ASSERT_EQ(made[1].interleaved.size(), 2u * 8192);
    EXPECT_EQ(made[1].interleaved[1], 0.25f);
    EXPECT_EQ(events.named("audio_recording_part").at(0),
              (EventPayload{{"new_recording", "audio-2026-12-05-2200-part2.m4a"},
                            {"reason", "format_change"},
                            {"tap_sample_rate", 16000.0},
                            {"tap_channels", 2}}));
    EXPECT_EQ(detector->recordingPartIndex(), 1);
    auto ready = events.named("audio_analysis_ready");
    ASSERT_EQ(ready.size(), 2u);
    EXPECT_EQ(ready[1], (EventPayload{{"real_sample_rate", 16000.0}, {"real_channels", 2}}));
    // The level is that of channel 0 (the other channel is quieter).
    advance(60 - elapsed());
    EXPECT_NEAR(events.named("telemetry").at(0)["avg_rms"].get<double>(), 0.25, 1e-6);

    detector->stop();
    EXPECT_TRUE(files.files()[1].closed);
}

TEST_F(SleepDetectorTest, RecordingFailuresAreReportedOncePerPartAndCaptureGoesOn) {
    files.refused = {kRecording};
    ASSERT_EQ(detector->start(kRecording), std::nullopt);
    advance(5);
    auto failed = events.named("audio_recording_failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0]["file"], "audio-2026-12-05-2200.m4a");
    EXPECT_EQ(events.named("audio_analysis_ready").size(), 1u);
    detector->stop();

    // A disk that fills up: the first failed write is reported, later ones are not.
    files.refused.clear();
    files.failWritesAfterFrames = 8192 * 2;
    events.clear();
    ASSERT_EQ(detector->start(kRecording), std::nullopt);
    advance(10);
    failed = events.named("audio_recording_failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0],
              (EventPayload{{"file", "audio-2026-12-05-2200.m4a"}, {"error", "No space left on device"}}));
    EXPECT_EQ(files.files().back().interleaved.size(), 2u * 8192);
    EXPECT_GT(classifier->calls, 5);
}

TEST_F(SleepDetectorTest, TelemetryEveryMinuteWithAndWithoutBuffers) {
    activity.idle = 75.5;
    microphone.playSamples(std::vector<float>(8192 * 100, 0.5f), kRate, FakeCaptureEngine::AtEnd::nothing);
    ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
    advance(60);
    auto telemetry = events.named("telemetry");
    ASSERT_EQ(telemetry.size(), 1u);
    EXPECT_EQ(telemetry[0],
              (EventPayload{
                  {"avg_rms", 0.5}, {"rms_samples", 58}, {"user_idle_seconds", 75.5}, {"phase", "asleep"}}));
    // The microphone falls silent: a minute without buffers reports 0 and 0.
    microphone.playSamples({}, kRate, FakeCaptureEngine::AtEnd::nothing);
    advance(60);
    telemetry = events.named("telemetry");
    ASSERT_EQ(telemetry.size(), 2u);
    EXPECT_EQ(telemetry[1]["avg_rms"], 0.0);
    EXPECT_EQ(telemetry[1]["rms_samples"], 0);
    detector->stop();
    advance(120);
    EXPECT_EQ(events.named("telemetry").size(), 2u);
}

TEST_F(SleepDetectorTest, StopClosesTheRecordingAndReturnsThePhaseToRest) {
    ASSERT_EQ(detector->start(kRecording), std::nullopt);
    advance(150); // "breathing" all along: asleep after the two-minute window fills
    EXPECT_EQ(detector->phase.get(), SleepPhase::asleep);
    EXPECT_EQ(detector->topLabel.get(), "breathing");
    EXPECT_DOUBLE_EQ(detector->topConfidence.get(), 0.9);
    EXPECT_GT(detector->phaseConfidence.get(), 0.0);

    const auto before = events.names().size();
    detector->stop();
    EXPECT_EQ(events.names().size(), before); // stop writes nothing of its own
    EXPECT_FALSE(detector->isRunning());
    EXPECT_FALSE(microphone.isRunning());
    EXPECT_EQ(microphone.watcherCount(), 0u);
    EXPECT_TRUE(files.files().at(0).closed);
    EXPECT_EQ(detector->phase.get(), SleepPhase::awake);
    EXPECT_EQ(detector->topLabel.get(), "—");
    EXPECT_EQ(detector->topConfidence.get(), 0.0);
    EXPECT_EQ(detector->phaseConfidence.get(), 0.0);
    EXPECT_EQ(detector->recordingPartIndex(), 0);
    microphone.announce(CaptureChange::defaultSourceChanged);
    advance(60);
    EXPECT_EQ(events.names().size(), before);

    // Started again, it sets everything up afresh.
    ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
    advance(1.1);
    EXPECT_EQ(events.named("audio_analysis_ready").size(), 2u);
    EXPECT_EQ(files.files().size(), 1u);
}

TEST_F(SleepDetectorTest, ASecondStartBeginsANewCapture) {
    ASSERT_EQ(detector->start(kRecording), std::nullopt);
    advance(3);
    ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
    advance(3);
    EXPECT_EQ(microphone.starts, 2);
    EXPECT_EQ(microphone.watcherCount(), 1u);
    ASSERT_EQ(files.files().size(), 1u);
    EXPECT_TRUE(files.files()[0].closed);
    EXPECT_EQ(files.files()[0].interleaved.size(), 2u * 8192); // nothing recorded after the restart
    EXPECT_EQ(events.named("audio_analysis_ready").size(), 2u);
}

TEST_F(SleepDetectorTest, SwitchedOffBreathingDetectorsGetNoBuffersAndDeclareNothing) {
    const auto night = breathingNight(kRate, 8 * 60, 150);
    struct Case {
        const char* name;
        bool rpm, band;
    };
    for (const Case c :
         {Case{"both on", true, true}, Case{"rate off", false, true}, Case{"band off", true, false}}) {
        SCOPED_TRACE(c.name);
        events.clear();
        settings.writeBool(keys::detectorBreathRpmEnabled, c.rpm);
        settings.writeBool(keys::detectorBreathBandEnabled, c.band);
        microphone.playSamples(night, kRate);
        ASSERT_EQ(detector->start(std::nullopt), std::nullopt);
        advance(8 * 60);

        EXPECT_EQ(!events.named("breath_estimate").empty(), c.rpm);
        EXPECT_EQ(!events.named("breath_regularity_asleep").empty(), c.rpm);
        EXPECT_EQ(detector->breathHasReading.get(), c.rpm);
        EXPECT_EQ(detector->breathRpm.get() > 10, c.rpm);
        EXPECT_EQ(detector->breathRegularityAsleepAt.get().has_value(), c.rpm);
        EXPECT_EQ(detector->chain().breath().pendingSamples() > 0 ||
                      !detector->chain().breath().peaks().empty(),
                  c.rpm);

        EXPECT_EQ(!events.named("breathband_started").empty(), c.band);
        EXPECT_EQ(!events.named("breathband_asleep").empty(), c.band);
        EXPECT_EQ(detector->breathBandAsleepAt.get().has_value(), c.band);
        EXPECT_EQ(detector->chain().band().snapshot().enabled, c.band);
        // The phase goes on either way.
        EXPECT_FALSE(events.named("classification").empty());
        detector->stop();
    }
}

namespace {

std::vector<LabelConfidence> scriptedNight(double t) {
    if (t < 40)
        return {{"typing", 0.8}, {"speech", 0.1}};
    return {{"breathing", 0.7}, {"silence", 0.2}};
}

/// The detection records of a log, without what only a live session knows (the idle time).
std::vector<std::pair<std::string, EventPayload>> detectionRecords(const RecordingEventSink& sink) {
    static const std::set<std::string> detection = {
        "classification",           "phase_transition",   "breath_estimate",     "breath_regularity_stat",
        "breath_regularity_asleep", "breathband_started", "breathband_baseline", "breathband_asleep",
        "audio_analysis_ready",     "telemetry"};
    std::vector<std::pair<std::string, EventPayload>> out;
    for (auto e : sink.events()) {
        if (detection.count(e.name) == 0)
            continue;
        e.payload.erase("user_idle_seconds");
        out.emplace_back(e.name, e.payload);
    }
    return out;
}

} // namespace

TEST(SleepDetectorReplayTest, LiveDetectorAndReplayWriteTheSameDetectionRecords) {
    constexpr double rate = 8000;
    const auto night = breathingNight(rate, 8192.0 * 440 / rate, 150); // 450.56 s, whole buffers

    VirtualScheduler replayClock;
    RecordingEventSink replayed;
    OfflineReplay replay(replayClock, replayed, std::make_unique<ScriptedSoundClassifier>(scriptedNight));
    MemoryAudioFileReader reader(night, rate);
    replay.run(reader);

    VirtualScheduler clock;
    RecordingEventSink live;
    MemorySettingsStore store;
    Settings settings(store);
    RecordingConsole console;
    FakeCaptureEngine microphone(clock);
    microphone.playSamples(night, rate, FakeCaptureEngine::AtEnd::nothing);
    FakeInputDevices inputs;
    FakeActivityProbes activity;
    FakeOutputPlaybackProbe playback;
    InlineExecutor analysis, band, recorder;
    FakeAudioFiles files;
    SleepDetector detector({clock, clock, live, settings, console, microphone, inputs, activity, playback,
                            analysis, band, recorder, files.factory()},
                           std::make_unique<ScriptedSoundClassifier>(scriptedNight));
    ASSERT_EQ(detector.start(std::nullopt), std::nullopt);
    clock.advance(toDuration(8192.0 * 440 / rate));
    detector.stop();
    clock.runDue();

    const auto expected = detectionRecords(replayed);
    EXPECT_GT(expected.size(), 500u);
    EXPECT_FALSE(replayed.named("breathband_asleep").empty());
    EXPECT_FALSE(replayed.named("breath_regularity_asleep").empty());
    EXPECT_EQ(detectionRecords(live), expected);
}
