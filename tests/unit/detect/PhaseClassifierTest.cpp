#include "detect/PhaseClassifier.h"
#include "detect/SoundLabelSets.h"
#include "detect/classifier/SoundLabels.h"
#include "platform/fake/FakeOutputPlaybackProbe.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class PhaseTest : public ::testing::Test {
protected:
    /// One classifier answer 0.75 s after the previous one; top defaults to the label alone.
    void feed(const std::string& label, double confidence, std::vector<LabelConfidence> top = {}) {
        scheduler.advance(750ms);
        if (top.empty())
            top = {{label, confidence}};
        phase.handleClassification(label, confidence, top);
    }
    /// Counted results of each label, in the given order.
    void feedCounts(const std::vector<std::pair<std::string, int>>& counts) {
        for (const auto& [label, n] : counts)
            for (int i = 0; i < n; ++i)
                feed(label, 0.9);
    }

    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    FakeOutputPlaybackProbe playback;
    PhaseClassifier phase{scheduler, events, playback};
};

} // namespace

TEST_F(PhaseTest, PublishesTheTopLabelOfEveryResult) {
    EXPECT_EQ(phase.topLabel.get(), "—");
    feed("typing", 0.3);
    EXPECT_EQ(phase.topLabel.get(), "typing");
    EXPECT_DOUBLE_EQ(phase.topConfidence.get(), 0.3);
    EXPECT_EQ(playback.queries, 1);
}

TEST_F(PhaseTest, NineteenSamplesDecideNothingAndTheTwentiethDecides) {
    feedCounts({{"breathing", 19}});
    EXPECT_EQ(phase.window().size(), 19u);
    EXPECT_EQ(phase.phase.get(), SleepPhase::awake);
    EXPECT_DOUBLE_EQ(phase.phaseConfidence.get(), 0.0);
    EXPECT_TRUE(events.named("phase_transition").empty());

    feed("breathing", 0.9);
    EXPECT_EQ(phase.phase.get(), SleepPhase::asleep);
    auto transitions = events.named("phase_transition");
    ASSERT_EQ(transitions.size(), 1u);
    EXPECT_EQ(transitions[0], (EventPayload{{"from", "awake"},
                                            {"to", "asleep"},
                                            {"confidence", 1.0},
                                            {"window_samples", 20},
                                            {"sleep_ratio", 1.0},
                                            {"awake_ratio", 0.0},
                                            {"snoring_ratio", 0.0}}));
    EXPECT_TRUE(transitions[0]["window_samples"].is_number_integer());
}

TEST_F(PhaseTest, RatioRulesAtAndAroundTheirThresholds) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, int>> counts;
        SleepPhase expected;
        double confidence;
    };
    const std::vector<Row> rows = {
        {"activity 7 of 20 is awake", {{"typing", 7}, {"breathing", 13}}, SleepPhase::awake, 0.35},
        {"activity exactly 0.3 is not awake by the first rule",
         {{"typing", 6}, {"breathing", 14}},
         SleepPhase::asleep,
         0.7},
        {"snoring exactly 0.15 is not deep",
         {{"silence", 12}, {"snoring", 3}, {"breathing", 5}},
         SleepPhase::asleep,
         1.0},
        {"snoring 0.2 with quiet 0.75 is deep",
         {{"snoring", 4}, {"silence", 11}, {"breathing", 5}},
         SleepPhase::deepAsleep,
         0.75},
        {"quiet exactly 0.7 is not deep",
         {{"snoring", 4}, {"silence", 10}, {"speech", 6}},
         SleepPhase::asleep,
         0.7},
        {"sleep exactly 0.5 is calming", {{"breathing", 10}, {"speech", 10}}, SleepPhase::calming, 0.5},
        {"sleep exactly 0.25 is awake", {{"breathing", 5}, {"speech", 15}}, SleepPhase::awake, 0.75},
        {"sleep 0.3 is calming", {{"breathing", 6}, {"speech", 14}}, SleepPhase::calming, 0.3},
        {"unknown labels count in N only", {{"door", 9}, {"sigh", 11}}, SleepPhase::asleep, 0.55},
    };
    for (const auto& row : rows) {
        VirtualScheduler s;
        test::RecordingEventSink sink;
        FakeOutputPlaybackProbe probe;
        PhaseClassifier p{s, sink, probe};
        for (const auto& [label, n] : row.counts)
            for (int i = 0; i < n; ++i) {
                s.advance(750ms);
                p.handleClassification(label, 0.9, {{label, 0.9}});
            }
        ASSERT_EQ(p.window().size(), 20u) << row.name;
        EXPECT_EQ(p.phase.get(), row.expected) << row.name;
        EXPECT_NEAR(p.phaseConfidence.get(), row.confidence, 1e-12) << row.name;
    }
}

TEST_F(PhaseTest, SamplesOlderThanTwoMinutesLeaveWhenASampleArrives) {
    feedCounts({{"breathing", 20}});
    ASSERT_EQ(phase.phase.get(), SleepPhase::asleep);
    // Nothing admitted for three minutes: the phase stays, the window is not pruned.
    for (int i = 0; i < 240; ++i)
        feed("typing", 0.4);
    EXPECT_EQ(phase.window().size(), 20u);
    EXPECT_EQ(phase.phase.get(), SleepPhase::asleep);
    // The next admitted sample prunes the whole old window and leaves one sample: no decision.
    feed("typing", 0.9);
    EXPECT_EQ(phase.window().size(), 1u);
    EXPECT_EQ(phase.phase.get(), SleepPhase::asleep);

    // A sample exactly 120 s old stays; one just older goes.
    PhaseClassifier p{scheduler, events, playback};
    p.handleClassification("breathing", 0.9, {{"breathing", 0.9}});
    scheduler.advance(120s);
    p.handleClassification("breathing", 0.9, {{"breathing", 0.9}});
    EXPECT_EQ(p.window().size(), 2u);
    scheduler.advance(1ms);
    p.handleClassification("breathing", 0.9, {{"breathing", 0.9}});
    EXPECT_EQ(p.window().size(), 2u);
}

TEST_F(PhaseTest, SpeechDuringPlaybackIsRescuedByAWeakSleepSound) {
    playback.playing = true;
    feed("speech", 0.9, {{"speech", 0.9}, {"breathing", 0.25}, {"typing", 0.1}});
    auto logged = events.named("classification");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0]["effective_label"], "breathing");
    EXPECT_DOUBLE_EQ(logged[0]["effective_confidence"].get<double>(), 0.25);
    EXPECT_EQ(logged[0]["rescued"], true);
    EXPECT_EQ(logged[0]["label"], "speech");
    EXPECT_DOUBLE_EQ(logged[0]["confidence"].get<double>(), 0.9);
    EXPECT_EQ(logged[0]["counted"], false);
    EXPECT_EQ(logged[0]["playback"], true);
    EXPECT_EQ(logged[0]["phase"], "awake");
    EXPECT_EQ(logged[0]["top3"], (nlohmann::json::array({{{"label", "speech"}, {"conf", 0.9}},
                                                         {{"label", "breathing"}, {"conf", 0.25}},
                                                         {{"label", "typing"}, {"conf", 0.1}}})));
    ASSERT_EQ(phase.window().size(), 1u);
    EXPECT_EQ(phase.window()[0].label, "breathing");
    EXPECT_DOUBLE_EQ(phase.window()[0].confidence, 0.25);
}

TEST_F(PhaseTest, SpeechAndPlaybackCombinations) {
    // Speech without playback: admitted as speech, counted.
    feed("speech", 0.9);
    ASSERT_EQ(phase.window().size(), 1u);
    EXPECT_EQ(phase.window()[0].label, "speech");
    EXPECT_EQ(events.named("classification").back()["counted"], true);
    EXPECT_FALSE(events.named("classification").back().contains("rescued"));

    // Speech during playback with no sleep label at 0.2 or more: logged uncounted, not admitted.
    playback.playing = true;
    feed("speech", 0.95, {{"speech", 0.95}, {"breathing", 0.19}, {"typing", 0.5}});
    EXPECT_EQ(phase.window().size(), 1u);
    auto last = events.named("classification").back();
    EXPECT_EQ(last["counted"], false);
    EXPECT_FALSE(last.contains("effective_label"));

    // A sleep label at 0.2 exactly rescues; the first one in order wins.
    feed("whispering", 0.7, {{"whispering", 0.7}, {"sigh", 0.2}, {"snoring", 0.6}});
    ASSERT_EQ(phase.window().size(), 2u);
    EXPECT_EQ(phase.window()[1].label, "sigh");

    // Wind rescues speech, and the rescued sample is then dropped as ambient.
    feed("speech", 0.8, {{"speech", 0.8}, {"wind", 0.3}});
    EXPECT_EQ(phase.window().size(), 2u);

    // Non-speech labels ignore playback.
    feed("breathing", 0.9);
    EXPECT_EQ(phase.window().size(), 3u);
}

TEST_F(PhaseTest, AmbientSoundsAreLoggedButNeverAdmitted) {
    feed("music", 0.95);
    feed("wind", 0.8);
    EXPECT_TRUE(phase.window().empty());
    auto logged = events.named("classification");
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0]["counted"], true);
    EXPECT_FALSE(logged[0].contains("top3")); // a single classification
}

TEST_F(PhaseTest, UncountedResultsAreLoggedAtMostOncePerMinute) {
    feed("typing", 0.5); // t = 0.75: logged
    scheduler.advance(29250ms);
    feed("typing", 0.5); // 30 s later: not logged
    EXPECT_EQ(events.named("classification").size(), 1u);
    feed("typing", 0.9); // counted results are always logged
    EXPECT_EQ(events.named("classification").size(), 2u);
    scheduler.advance(28500ms); // 59.25 + 0.75 = 60 s after the first: logged again
    feed("typing", 0.5);
    EXPECT_EQ(events.named("classification").size(), 3u);
    feed("typing", 0.5);
    EXPECT_EQ(events.named("classification").size(), 3u);

    // The limit survives a reset.
    phase.reset();
    feed("typing", 0.5);
    EXPECT_EQ(events.named("classification").size(), 3u);
}

TEST_F(PhaseTest, ResetEmptiesTheWindowAndRestoresThePublishedValues) {
    feedCounts({{"snoring", 5}, {"silence", 15}});
    ASSERT_EQ(phase.phase.get(), SleepPhase::deepAsleep);
    phase.reset();
    EXPECT_TRUE(phase.window().empty());
    EXPECT_EQ(phase.phase.get(), SleepPhase::awake);
    EXPECT_EQ(phase.topLabel.get(), "—");
    EXPECT_DOUBLE_EQ(phase.topConfidence.get(), 0.0);
    EXPECT_DOUBLE_EQ(phase.phaseConfidence.get(), 0.0);
}

TEST_F(PhaseTest, ConfidenceUpdatesWithoutATransitionAndEventsCarryThePhaseBefore) {
    feedCounts({{"breathing", 20}});
    feed("typing", 0.9); // 20 breathing + 1 typing of 21: still asleep, lower confidence
    EXPECT_EQ(events.named("phase_transition").size(), 1u);
    EXPECT_NEAR(phase.phaseConfidence.get(), 20.0 / 21.0, 1e-12);
    EXPECT_EQ(events.named("classification").back()["phase"], "asleep");
}

TEST(SleepPhaseTest, RawValuesRoundTrip) {
    for (auto p : {SleepPhase::awake, SleepPhase::calming, SleepPhase::asleep, SleepPhase::deepAsleep})
        EXPECT_EQ(sleepPhaseFromRaw(rawValue(p)), p);
    EXPECT_EQ(rawValue(SleepPhase::deepAsleep), "deep_asleep");
    EXPECT_EQ(level(SleepPhase::deepAsleep), 3);
    EXPECT_FALSE(sleepPhaseFromRaw("deepAsleep").has_value());
    EXPECT_FALSE(sleepPhaseFromRaw("").has_value());
}

TEST_F(PhaseTest, UnrescuedSpeechDuringPlaybackIsUncountedAndRateLimited) {
    playback.playing = true;
    for (int i = 0; i < 40; ++i) // 30 s of a podcast
        feed("speech", 0.95, {{"speech", 0.95}, {"music", 0.3}});
    auto logged = events.named("classification");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0]["counted"], false);
    EXPECT_TRUE(phase.window().empty());
    // A confident sleep sound behind the speech counts.
    feed("speech", 0.95, {{"speech", 0.95}, {"snoring", 0.7}});
    EXPECT_EQ(events.named("classification").back()["counted"], true);
    EXPECT_EQ(events.named("classification").back()["effective_label"], "snoring");
}

TEST(SoundLabelSetsTest, TheClassifierCanNameEveryCountedLabel) {
    const auto vocabulary = classifier::soundVocabulary();
    std::set<std::string_view> all;
    auto check = [&](const auto& set) {
        for (auto label : set) {
            all.insert(label);
            EXPECT_NE(std::find(vocabulary.begin(), vocabulary.end(), label), vocabulary.end()) << label;
        }
    };
    check(labels::sleepLabels);
    check(labels::activityLabels);
    check(labels::speechLabels);
    check(labels::ambientLabels);
    EXPECT_EQ(all.size(), 26u); // "wind" is in two sets
    EXPECT_TRUE(labels::isSleep("wind") && labels::isAmbient("wind"));
    EXPECT_FALSE(labels::isSleep("Breathing"));
}
