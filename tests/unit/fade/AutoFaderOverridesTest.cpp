// Manual overrides on virtual time: pauses, resumes, escalation to autopilot off, the volume's
// idle requirement, plateau-event throttling and the autopilot switches; and the two interplays
// the engine settles itself (a sleep signal during the wake, a pause pending at an activity cancel).

#include "tests/unit/fade/FaderTestFixture.h"

#include <cmath>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

namespace {

class OverrideTest : public FaderTest {
protected:
    /// A session at 22:00 with a long timer fade running.
    void fadeForAnHour(int volume = 40) {
        arm(60, volume);
        fader.beginTimerFade(3600, 0.8);
        events.clear();
    }
};

} // namespace

TEST_F(OverrideTest, AmbianceOverrideAgainSoonAfterAResumeSwitchesTheAutopilotOff) {
    fadeForAnHour();
    fader.userOverrodeAmbiance("brightness_keys", 0.1);
    EXPECT_EQ(fader.ambiance.get(), 0.1);
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_EQ(fader.ambianceResumeAt(), at(22, 5));
    EXPECT_EQ(events.named("autofader_ambiance_override_plateau")[0],
              (EventPayload{{"user_value", 0.1}, {"source", "brightness_keys"}, {"plateau_sec", 300}}));

    // The plateau holds the user's value; the volume goes on fading meanwhile.
    const auto sentBefore = ambianceSent.size();
    advanceTo(at(22, 4, 58));
    EXPECT_EQ(ambianceSent.size(), sentBefore);
    EXPECT_LT(fader.volume.get(), 40);

    advanceTo(at(22, 5));
    ASSERT_TRUE(fader.ambianceLeg());
    EXPECT_EQ(*fader.ambianceLeg(), (FadeLeg{at(22, 5), 540, 0.1, 0.8}));
    EXPECT_DOUBLE_EQ(lastAmbiance(), 0.1) << "the resume leg applies in the tick that made it";
    EXPECT_EQ(events.named("autofader_ambiance_resume")[0],
              (EventPayload{{"from", 0.1}, {"to", 0.8}, {"duration_sec", 540}}));

    advanceTo(at(22, 15));
    events.clear();
    fader.userOverrodeAmbiance("slider", 0.05);
    EXPECT_FALSE(fader.ambianceAutopilot.get());
    EXPECT_FALSE(fader.ambianceResumeAt()) << "no new pause";
    EXPECT_EQ(events.names(), (std::vector<std::string>{"autofader_ambiance_disabled_by_user"}));
    EXPECT_EQ(
        events.events()[0].payload,
        (EventPayload{{"user_value", 0.05}, {"source", "slider"}, {"cause", "override_again_after_resume"}}));
    EXPECT_EQ(autopilotCalls, (std::vector<std::pair<bool, bool>>{{false, true}}));
    const auto sent = ambianceSent.size();
    advance(60s);
    EXPECT_EQ(ambianceSent.size(), sent) << "the engine no longer moves the ambiance";
}

TEST_F(OverrideTest, OverrideLongAfterTheFirstOnlyPausesAgain) {
    fadeForAnHour();
    fader.userOverrodeAmbiance("slider", 0.1);
    advanceTo(at(22, 20)); // resumed at 22:05; exactly 1200 s since the first override
    fader.userOverrodeAmbiance("slider", 0.2);
    EXPECT_TRUE(fader.ambianceAutopilot.get());
    EXPECT_EQ(fader.ambianceResumeAt(), at(22, 25));
    EXPECT_TRUE(events.named("autofader_ambiance_disabled_by_user").empty());
}

TEST_F(OverrideTest, OverrideDuringAPauseRestartsIt) {
    fadeForAnHour();
    fader.userOverrodeAmbiance("slider", 0.1);
    advanceTo(at(22, 3));
    fader.userOverrodeAmbiance("slider", 0.15);
    EXPECT_TRUE(fader.ambianceAutopilot.get());
    EXPECT_EQ(fader.ambianceResumeAt(), at(22, 8));
    advanceTo(at(22, 7, 58));
    EXPECT_FALSE(fader.ambianceLeg());
    advanceTo(at(22, 8));
    EXPECT_TRUE(fader.ambianceLeg());
}

TEST_F(OverrideTest, PauseEndingAtOrAboveTheTargetIsNoResume) {
    fadeForAnHour();
    fader.userOverrodeAmbiance("slider", 0.9); // above the 0.8 target
    advanceTo(at(22, 5));
    EXPECT_FALSE(fader.ambianceResumeAt()) << "the pause has ended";
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_TRUE(events.named("autofader_ambiance_resume").empty());
    fader.userOverrodeAmbiance("slider", 0.5);
    EXPECT_TRUE(fader.ambianceAutopilot.get()) << "no resume, so no escalation";
    EXPECT_EQ(fader.ambianceResumeAt(), at(22, 10));
}

TEST_F(OverrideTest, LoweredVolumeResumesAtTheNextTickTowardsTheNewReference) {
    fadeForAnHour(40);
    advanceTo(at(22, 0, 10));
    fader.userOverrodeVolume("system_keys", 30);
    EXPECT_EQ(fader.initialVolume(), 30);
    EXPECT_DOUBLE_EQ(fader.volumeFloorTarget(), 10.5);
    EXPECT_EQ(events.named("autofader_volume_override_plateau")[0],
              (EventPayload{
                  {"user_value", 30}, {"source", "system_keys"}, {"direction", "down"}, {"plateau_sec", 0}}));
    advance(2s);
    EXPECT_EQ(*fader.volumeLeg(), (FadeLeg{at(22, 0, 12), 540, 30, 10.5}));
    EXPECT_EQ(events.named("autofader_volume_resume")[0],
              (EventPayload{{"from", 30.0}, {"to", 10.5}, {"duration_sec", 540}}));
    EXPECT_EQ(lastVolume(), 30);

    // A second lowering within 1200 s of the first gives the volume up.
    advanceTo(at(22, 5));
    fader.userOverrodeVolume("slider", 20);
    EXPECT_FALSE(fader.volumeAutopilot.get());
    EXPECT_EQ(
        events.named("autofader_volume_disabled_by_user")[0],
        (EventPayload{{"user_value", 20}, {"source", "slider"}, {"cause", "override_again_after_resume"}}));
}

TEST_F(OverrideTest, VolumeResumeLegRespectsTheDeadline) {
    fader.fadeDeadline = at(22, 3);
    fadeForAnHour(40);
    fader.userOverrodeVolume("system_keys", 30);
    advance(2s);
    EXPECT_DOUBLE_EQ(fader.volumeLeg()->durationSeconds, 178);
    EXPECT_EQ(events.named("autofader_volume_resume")[0]["duration_sec"], 178);
}

TEST_F(OverrideTest, SmallRaiseCountsAsDownAndValuesAreRoundedInTheLog) {
    fadeForAnHour(30);
    fader.userOverrodeVolume("slider", 30.4);
    EXPECT_FALSE(fader.volumeResumeNeedsIdle());
    EXPECT_EQ(fader.volumeResumeAt(), at(22, 0));
    const auto plateau = events.named("autofader_volume_override_plateau");
    EXPECT_EQ(plateau[0]["direction"], "down");
    EXPECT_EQ(plateau[0]["user_value"], 30);
    EXPECT_TRUE(plateau[0]["user_value"].is_number_integer());

    // A fresh session, so that no escalation interferes; the plateau throttle spans sessions,
    // so the second event comes a second later.
    advance(1s);
    fadeForAnHour(30);
    fader.userOverrodeVolume("slider", 34.5); // raised: more than 0.5 above
    const auto raised = events.named("autofader_volume_override_plateau");
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0]["user_value"], 35);
    EXPECT_EQ(raised[0]["direction"], "up");
}

TEST_F(OverrideTest, RaisedVolumeWaitsForThePlateauAndThenForAnIdleUser) {
    fadeForAnHour(30);
    probes.idle = 1; // the user keeps typing
    fader.userOverrodeVolume("system_keys", 45);
    EXPECT_TRUE(fader.volumeResumeNeedsIdle());
    EXPECT_EQ(fader.volumeResumeAt(), at(22, 10));
    EXPECT_EQ(events.named("autofader_volume_override_plateau")[0]["plateau_sec"], 600);

    advanceTo(at(22, 10));
    EXPECT_EQ(fader.volumeResumeAt(), at(22, 11)) << "put off by a minute";
    advanceTo(at(22, 11));
    EXPECT_EQ(fader.volumeResumeAt(), at(22, 12));
    EXPECT_FALSE(fader.volumeLeg());
    EXPECT_EQ(fader.volume.get(), 45);

    probes.idle = 119.9;
    advanceTo(at(22, 12));
    EXPECT_EQ(fader.volumeResumeAt(), at(22, 13));
    probes.idle = 120;
    advanceTo(at(22, 12, 58));
    EXPECT_FALSE(fader.volumeLeg()) << "tried again only at the rescheduled time";
    advanceTo(at(22, 13));
    EXPECT_FALSE(fader.volumeResumeAt());
    EXPECT_FALSE(fader.volumeResumeNeedsIdle());
    EXPECT_EQ(*fader.volumeLeg(), (FadeLeg{at(22, 13), 540, 45, 15.75}));
    advanceTo(at(22, 22));
    EXPECT_EQ(lastVolume(), 16);
}

TEST_F(OverrideTest, RaisedVolumeResumesAfterThePlateauWhenTheIdleTimeIsUnknown) {
    // Nothing says the user is at the keyboard; waiting for an idle time that never comes
    // would leave the raised volume on all night.
    fadeForAnHour(30);
    probes.idle = std::nullopt;
    fader.userOverrodeVolume("system_keys", 45);
    EXPECT_TRUE(fader.volumeResumeNeedsIdle());
    advanceTo(at(22, 10));
    EXPECT_FALSE(fader.volumeResumeAt());
    EXPECT_EQ(*fader.volumeLeg(), (FadeLeg{at(22, 10), 540, 45, 15.75}));
}

TEST_F(OverrideTest, IdleProviderIsReplaceable) {
    fadeForAnHour(30);
    fader.idleSecondsProvider = [] { return 500.0; };
    probes.idle = 0;
    fader.userOverrodeVolume("slider", 50);
    advanceTo(at(22, 10));
    EXPECT_TRUE(fader.volumeLeg());
}

TEST_F(OverrideTest, OverrideOutsideASessionOnlyStoresTheValue) {
    fader.userOverrodeAmbiance("slider", 0.4);
    fader.userOverrodeVolume("slider", 70);
    EXPECT_EQ(fader.ambiance.get(), 0.4);
    EXPECT_EQ(fader.volume.get(), 70);
    EXPECT_FALSE(fader.ambianceResumeAt());
    EXPECT_FALSE(fader.volumeResumeAt());
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_TRUE(events.events().empty());

    // Likewise on a channel whose autopilot is off, during a session.
    fadeForAnHour(40);
    fader.setVolumeAutopilot(false);
    events.clear();
    fader.userOverrodeVolume("slider", 33);
    EXPECT_EQ(fader.volume.get(), 33);
    EXPECT_EQ(fader.initialVolume(), 40);
    EXPECT_TRUE(events.events().empty());

    // A value that is not a number is refused outright.
    fader.userOverrodeAmbiance("slider", std::nan(""));
    EXPECT_FALSE(std::isnan(fader.ambiance.get()));
}

TEST_F(OverrideTest, PlateauEventsAreThrottledPerChannel) {
    fadeForAnHour();
    fader.userOverrodeAmbiance("slider", 0.30);
    scheduler.advance(400ms);
    fader.userOverrodeAmbiance("slider", 0.35);
    fader.userOverrodeVolume("slider", 35); // the other channel has its own throttle
    EXPECT_EQ(events.named("autofader_ambiance_override_plateau").size(), 1u);
    EXPECT_EQ(events.named("autofader_volume_override_plateau").size(), 1u);
    EXPECT_EQ(fader.ambiance.get(), 0.35) << "the override itself is never dropped";
    EXPECT_EQ(fader.ambianceResumeAt(), addSeconds(at(22, 5), 0.4)) << "the pause time of the second";
    scheduler.advance(600ms);
    fader.userOverrodeAmbiance("slider", 0.4);
    EXPECT_EQ(events.named("autofader_ambiance_override_plateau").size(), 2u) << "1.0 s later is due again";
}

TEST_F(OverrideTest, AutopilotTogglesDuringAFade) {
    fadeForAnHour();
    advanceTo(at(22, 10));
    fader.setAmbianceAutopilot(false);
    EXPECT_EQ(events.named("autopilot_ambiance")[0], (EventPayload{{"on", false}}));
    EXPECT_EQ(autopilotCalls.back(), (std::pair<bool, bool>{false, true}));
    const double frozen = fader.ambiance.get();
    advanceTo(at(22, 20));
    EXPECT_EQ(fader.ambiance.get(), frozen) << "the channel freezes at its last value";
    EXPECT_TRUE(fader.ambianceLeg()) << "its leg remains";

    fader.setAmbianceAutopilot(true);
    advance(2s);
    EXPECT_DOUBLE_EQ(fader.ambiance.get(), legValue(*fader.ambianceLeg(), scheduler.now(), fader.fadeCurve))
        << "switching on jumps to where the leg has got to";
    EXPECT_GT(fader.ambiance.get(), frozen);

    // A channel without a leg stays put after switching on.
    fader.setVolumeAutopilot(false);
    fader.userOverrodeVolume("slider", 25);
    fader.cancelFadeForActivity();
    fader.setVolumeAutopilot(true);
    EXPECT_EQ(events.named("autopilot_volume").back(), (EventPayload{{"on", true}}));
    advance(60s);
    EXPECT_EQ(fader.volume.get(), 25);
}

TEST_F(OverrideTest, SwitchingTheAutopilotBackOnStartsTheChannelAfresh) {
    fadeForAnHour();
    // Ambiance: override, resume at 22:05, override again: given up.
    fader.userOverrodeAmbiance("slider", 0.1);
    advanceTo(at(22, 10));
    fader.userOverrodeAmbiance("slider", 0.05);
    ASSERT_FALSE(fader.ambianceAutopilot.get());
    // Volume: a lowering resumes at the next tick, so a second one gives it up too.
    fader.userOverrodeVolume("system_keys", 30);
    advance(2s);
    fader.userOverrodeVolume("system_keys", 25);
    ASSERT_FALSE(fader.volumeAutopilot.get());

    advanceTo(at(22, 11));
    fader.setAmbianceAutopilot(true);
    fader.setVolumeAutopilot(true);
    events.clear();
    fader.userOverrodeAmbiance("slider", 0.2);
    fader.userOverrodeVolume("system_keys", 20);
    EXPECT_TRUE(fader.ambianceAutopilot.get()) << "the next override pauses as a first one does";
    EXPECT_TRUE(fader.volumeAutopilot.get());
    EXPECT_EQ(fader.ambianceResumeAt(), at(22, 16));
    EXPECT_EQ(events.names(), (std::vector<std::string>{"autofader_ambiance_override_plateau",
                                                        "autofader_volume_override_plateau"}));

    // Switching on a channel that is on already changes nothing: escalation still applies.
    advanceTo(at(22, 16));
    fader.setAmbianceAutopilot(true);
    fader.userOverrodeAmbiance("slider", 0.1);
    EXPECT_FALSE(fader.ambianceAutopilot.get());
}

TEST_F(OverrideTest, FadeBegunDuringAPauseAppliesOnceThePauseEnds) {
    arm(60, 40);
    fader.userOverrodeAmbiance("slider", 0.3); // armed, no fade yet: the override alone fades
    EXPECT_TRUE(fader.isFading.get());
    fader.beginTimerFade(3600, 0.8);
    advanceTo(at(22, 4, 58));
    EXPECT_EQ(fader.ambiance.get(), 0.3) << "a paused channel is not applied";
    EXPECT_FALSE(ambianceSent.empty() && volumeSent.empty());
    advanceTo(at(22, 5));
    EXPECT_TRUE(events.named("autofader_ambiance_resume").empty()) << "the timer leg simply applies";
    EXPECT_GT(fader.ambiance.get(), 0.3);

    // A speed-up leaves a paused channel's leg alone but aims it at full ambiance for the resume.
    fadeForAnHour();
    fader.userOverrodeAmbiance("slider", 0.2);
    fader.accelerate("phase_asleep");
    EXPECT_FALSE(fader.ambianceLeg());
    EXPECT_DOUBLE_EQ(fader.currentAmbianceTarget(), 1.0);
    advanceTo(at(23, 5));
    EXPECT_EQ(events.named("autofader_ambiance_resume").back()["to"], 1.0);
}

// The engine's own decisions on two interplays (docs/decisions.md).

TEST_F(OverrideTest, SleepSignalDuringTheWakeIsSkipped) {
    fadeForAnHour();
    advanceTo(at(22, 30));
    fader.beginWake(180);
    const auto ambianceLeg = *fader.ambianceLeg();
    const auto volumeLeg = *fader.volumeLeg();
    events.clear();
    fader.accelerate("phase_asleep");
    EXPECT_EQ(*fader.ambianceLeg(), ambianceLeg);
    EXPECT_EQ(*fader.volumeLeg(), volumeLeg);
    EXPECT_EQ(events.events().size(), 1u);
    EXPECT_EQ(events.named("autofader_accelerate_skipped")[0],
              (EventPayload{{"reason", "phase_asleep"}, {"cause", "waking"}}));
    advance(180s);
    EXPECT_EQ(lastAmbiance(), 0.0);
    EXPECT_EQ(lastVolume(), 40);

    // Also once activity has cancelled the wake ramp: no sleep fade starts during the wake-up.
    fader.cancelFadeForActivity();
    fader.accelerate("breath_regularity");
    EXPECT_FALSE(fader.isFading.get());
    EXPECT_FALSE(fader.ambianceLeg());
}

TEST_F(OverrideTest, ActivityCancelAlsoEndsAPendingPause) {
    fadeForAnHour();
    advanceTo(at(22, 10));
    fader.userOverrodeAmbiance("brightness_keys", 0.1);
    fader.userOverrodeVolume("system_keys", 60);
    fader.cancelFadeForActivity();
    EXPECT_FALSE(fader.ambianceResumeAt());
    EXPECT_FALSE(fader.volumeResumeAt());
    EXPECT_FALSE(fader.volumeResumeNeedsIdle());
    probes.idle = 1000;
    advanceTo(at(22, 40));
    EXPECT_TRUE(events.named("autofader_ambiance_resume").empty());
    EXPECT_TRUE(events.named("autofader_volume_resume").empty());
    EXPECT_EQ(fader.ambiance.get(), 0.1) << "the user's values stay until the next fade";
    EXPECT_EQ(fader.volume.get(), 60);

    // The next fade starts from them as usual.
    fader.beginIdleFade(600);
    EXPECT_EQ(fader.ambianceLeg()->startValue, 0.1);
}
