#include "tests/unit/detect/DetectorWorld.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace mirl::test;
using Strings = std::vector<std::string>;

namespace {

class RecoveryTest : public DetectorWorld {
protected:
    /// Starts (recording to `recording`) and lets `seconds` pass.
    void startAndRun(std::optional<std::filesystem::path> recording, double seconds = 10) {
        ASSERT_EQ(detector->start(std::move(recording)), std::nullopt);
        advance(seconds);
        events.clear();
    }
    std::size_t count(std::string_view name) const { return events.named(name).size(); }
};

} // namespace

TEST_F(RecoveryTest, ChangesWithinTheGracePeriodAreIgnored) {
    startAndRun(std::nullopt, 3);
    microphone.announce(CaptureChange::streamLost);
    auto ignored = events.named("audio_pipeline_change_ignored");
    ASSERT_EQ(ignored.size(), 1u);
    EXPECT_EQ(ignored[0]["reason"], "engine_config_change");
    EXPECT_NEAR(ignored[0]["grace_seconds_left"].get<double>(), 2.0, 1e-9);
    advance(1.99);
    microphone.announce(CaptureChange::defaultSourceChanged); // 0.01 s of grace left
    EXPECT_EQ(count("audio_pipeline_change_ignored"), 2u);
    advance(5);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 0u);
    EXPECT_FALSE(detector->rebuildPending());
}

TEST_F(RecoveryTest, ABurstOfChangesMakesOneRebuildAfterTheLast) {
    startAndRun(std::nullopt, 30);
    ASSERT_EQ(detector->phase.get(), SleepPhase::asleep);
    microphone.announce(CaptureChange::serverReturned);
    advance(0.1);
    microphone.announce(CaptureChange::streamMoved);
    advance(0.1);
    microphone.announce(CaptureChange::defaultSourceChanged);
    EXPECT_TRUE(detector->rebuildPending());
    advance(0.399);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 0u);
    advance(0.001);
    EXPECT_EQ(events.names(),
              (Strings{"audio_pipeline_change", "audio_pipeline_change", "audio_pipeline_change",
                       "audio_pipeline_restart_begin", "audio_pipeline_step", "audio_pipeline_step",
                       "audio_mode", "audio_input", "audio_pipeline_restart_ok"}));
    const auto all = events.events();
    EXPECT_EQ(all[0].payload["reason"], "engine_config_change");
    EXPECT_EQ(all[2].payload["reason"], "default_input_changed");
    EXPECT_EQ(all[3].payload, (EventPayload{{"reason", "default_input_changed"}}));
    EXPECT_EQ(all[6].payload["restart"], true);
    EXPECT_EQ(all[8].payload, (EventPayload{{"new_recording", "(none)"}}));
    EXPECT_EQ(microphone.starts, 2);
    EXPECT_FALSE(detector->rebuildPending());
    // The rebuilt tap sets the analysis up again; the phase and the breath detector go on.
    advance(1.1);
    EXPECT_EQ(count("audio_analysis_ready"), 1u);
    EXPECT_EQ(count("breathband_started"), 1u);
    EXPECT_EQ(detector->phase.get(), SleepPhase::asleep);
    EXPECT_TRUE(detector->chain().breath().enabled());
}

TEST_F(RecoveryTest, AChangeWithinTheCooldownRebuildsWhenTheCooldownEnds) {
    startAndRun(std::nullopt);
    microphone.announce(CaptureChange::streamMoved); // rebuild at +0.4
    advance(1.0);
    microphone.announce(CaptureChange::defaultSourceChanged); // its rebuild would run 1.0 s after the first
    advance(0.4);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 1u);
    EXPECT_TRUE(events.named("audio_pipeline_restart_skipped").empty());
    auto deferred = events.named("audio_pipeline_restart_deferred");
    ASSERT_EQ(deferred.size(), 1u);
    EXPECT_EQ(deferred[0]["reason"], "default_input_changed");
    EXPECT_NEAR(deferred[0]["delay_seconds"].get<double>(), 0.5, 1e-9);
    EXPECT_TRUE(detector->rebuildPending());
    advance(0.499);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 1u);
    advance(0.001); // 1.5 s after the first rebuild began
    const auto begun = events.named("audio_pipeline_restart_begin");
    ASSERT_EQ(begun.size(), 2u);
    EXPECT_EQ(begun[1]["reason"], "default_input_changed");
    EXPECT_FALSE(detector->rebuildPending());
    advance(30); // nothing more
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 2u);
    EXPECT_EQ(microphone.starts, 3);
}

TEST_F(RecoveryTest, ADefaultInputChangeRightAfterAServerRestartIsFollowed) {
    startAndRun(kRecording);
    // The sound server comes back; a moment after its rebuild the user picks another microphone.
    microphone.announce(CaptureChange::serverReturned);
    advance(0.4);
    ASSERT_EQ(count("audio_pipeline_restart_ok"), 1u);
    advance(0.3);
    microphone.source = {"usb.mic", "USB microphone"};
    microphone.announce(CaptureChange::defaultSourceChanged);
    advance(2);
    const auto inputs = events.named("audio_input");
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[1]["device_uid"], "usb.mic");
    EXPECT_EQ(events.named("audio_pipeline_restart_ok").at(1)["new_recording"],
              "audio-2026-12-05-2200-part3.m4a");
    // A change while a deferred rebuild waits replaces it: still one rebuild, at the cooldown's end.
    advance(1);
    events.clear();
    microphone.announce(CaptureChange::streamMoved);
    advance(0.4); // past the cooldown: at once
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 1u);
    advance(0.5);
    microphone.announce(CaptureChange::streamMoved);
    advance(0.4); // deferred to 1.5 s after the last rebuild
    microphone.announce(CaptureChange::defaultSourceChanged);
    advance(0.4); // still within: deferred again, with the newer reason
    advance(1.0);
    const auto begun = events.named("audio_pipeline_restart_begin");
    ASSERT_EQ(begun.size(), 2u);
    EXPECT_EQ(begun[1]["reason"], "default_input_changed");
    detector->stop();
}

TEST_F(RecoveryTest, StopCancelsADeferredRebuild) {
    startAndRun(std::nullopt);
    microphone.announce(CaptureChange::streamMoved);
    advance(1.0);
    microphone.announce(CaptureChange::streamMoved);
    advance(0.4);
    ASSERT_EQ(count("audio_pipeline_restart_deferred"), 1u);
    detector->stop();
    EXPECT_FALSE(detector->rebuildPending());
    advance(5);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 1u);
}

TEST_F(RecoveryTest, EachRebuildRecordsIntoTheNextPart) {
    startAndRun(kRecording);
    for (int rebuild = 0; rebuild < 2; ++rebuild) {
        microphone.announce(CaptureChange::defaultSourceChanged);
        advance(5);
    }
    const auto ok = events.named("audio_pipeline_restart_ok");
    ASSERT_EQ(ok.size(), 2u);
    EXPECT_EQ(ok[0]["new_recording"], "audio-2026-12-05-2200-part2.m4a");
    EXPECT_EQ(ok[1]["new_recording"], "audio-2026-12-05-2200-part3.m4a");
    const auto made = files.files();
    ASSERT_EQ(made.size(), 3u);
    EXPECT_EQ(made[0].path, kRecording);
    EXPECT_EQ(made[1].path, "/rec/audio-2026-12-05-2200-part2.m4a");
    EXPECT_EQ(made[2].path, "/rec/audio-2026-12-05-2200-part3.m4a");
    EXPECT_TRUE(made[0].closed);
    EXPECT_TRUE(made[1].closed);
    EXPECT_FALSE(made[2].closed);
    EXPECT_EQ(detector->recordingPartIndex(), 2);
    EXPECT_EQ(count("audio_analysis_ready"), 2u);
    for (const auto& mode : events.named("audio_mode"))
        EXPECT_EQ(mode["restart"], true);
    detector->stop();
    EXPECT_TRUE(files.files()[2].closed);

    // The next session starts again at part 1.
    ASSERT_EQ(detector->start(kRecording), std::nullopt);
    advance(2);
    EXPECT_EQ(files.files().back().path, kRecording);
}

TEST_F(RecoveryTest, StopCancelsAPendingRebuild) {
    startAndRun(kRecording);
    microphone.announce(CaptureChange::streamLost);
    advance(0.2);
    detector->stop();
    EXPECT_FALSE(detector->rebuildPending());
    advance(5);
    EXPECT_EQ(events.names(), (Strings{"audio_pipeline_change"}));
    EXPECT_EQ(microphone.starts, 1);
}

TEST_F(RecoveryTest, ABrokenPipelineIsTriedAgainUntilItWorks) {
    startAndRun(kRecording);
    // The sound server goes away: the rebuild fails, and so does every retry while it is away.
    microphone.noDevice();
    microphone.announce(CaptureChange::serverLost);
    advance(0.4);
    auto failed = events.named("audio_pipeline_restart_failed");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0], (EventPayload{{"error", "no input device"}}));
    EXPECT_EQ(console.lines(), (Strings{"Mirl: pipeline restart failed: no input device"}));
    EXPECT_TRUE(detector->broken());
    EXPECT_TRUE(detector->isRunning());
    EXPECT_EQ(count("audio_engine_start_failed"), 1u); // the build's own second attempt came first

    // Retries after 2, 4, 8, 16, 32, 60, 60 ... seconds: no busy loop.
    std::vector<double> retryTimes;
    const double brokenAt = elapsed();
    for (int i = 0; i < 600; ++i) {
        const auto before = count("audio_pipeline_restart_begin");
        advance(0.5);
        if (count("audio_pipeline_restart_begin") > before)
            retryTimes.push_back(std::round((elapsed() - brokenAt) * 2) / 2);
    }
    EXPECT_EQ(retryTimes, (std::vector<double>{2, 6, 14, 30, 62, 122, 182, 242}));
    EXPECT_EQ(events.named("audio_pipeline_restart_begin").back()["reason"], "retry_after_failure");

    // The server returns: the change rebuilds at once, into the next part number.
    microphone.playSilence({kRate, 1});
    events.clear();
    microphone.announce(CaptureChange::serverReturned);
    advance(0.4);
    const auto ok = events.named("audio_pipeline_restart_ok");
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_EQ(ok[0]["new_recording"], "audio-2026-12-05-2200-part11.m4a"); // nine failed rebuilds before
    EXPECT_FALSE(detector->broken());
    advance(120);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 1u);
    EXPECT_EQ(files.files().back().path, "/rec/audio-2026-12-05-2200-part11.m4a");
    EXPECT_EQ(files.files().size(), 2u);
}

TEST_F(RecoveryTest, ARetryAfterAFailedRebuildUsesTheNextPartNumber) {
    startAndRun(kRecording);
    microphone.startFailures = {"busy", "still busy"};
    microphone.announce(CaptureChange::streamMoved);
    advance(0.4);
    EXPECT_EQ(events.named("audio_pipeline_restart_failed").at(0)["error"], "still busy");
    // The next accepted change, more than 1.5 s later, tries again before the retry is due.
    advance(1.6);
    microphone.announce(CaptureChange::streamMoved);
    advance(0.4);
    EXPECT_EQ(events.named("audio_pipeline_restart_ok").at(0)["new_recording"],
              "audio-2026-12-05-2200-part3.m4a");
    EXPECT_FALSE(detector->broken());
    advance(10);
    EXPECT_EQ(count("audio_pipeline_restart_begin"), 2u);
}
