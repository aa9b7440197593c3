#include "detect/SoundLabelSets.h"
#include "detect/classifier/FeatureSoundClassifier.h"
#include "detect/classifier/ModelWeights.h"
#include "detect/classifier/SoundLabels.h"
#include "tests/unit/detect/ClassifierSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

using namespace mirl;
using namespace mirl::classifier;
using namespace mirl::testsignals;

namespace {

struct Summary {
    int windows = 0;
    std::map<SoundGroup, int> topGroups;
    int confident = 0;      // top label at >= 0.6 (what the phase logic admits)
    int confidentSleep = 0; // top label silence/breathing/snoring at >= 0.6
    int confidentQuiet = 0; // top label silence/breathing at >= 0.6
};

// Classifies x in capture-sized buffers; windows before `skipSeconds` (context still filling) are ignored.
Summary classify(const std::vector<float>& x, int rate, double skipSeconds = 0) {
    FeatureSoundClassifier c;
    Summary s;
    for (std::size_t i = 0; i < x.size(); i += 8192) {
        c.process(std::span<const float>(x).subspan(i, std::min<std::size_t>(8192, x.size() - i)), rate,
                  [&](const ClassificationResult& r) {
                      if (r.startSeconds < skipSeconds)
                          return;
                      const auto& top = r.labels.front();
                      ++s.windows;
                      ++s.topGroups[soundGroupOf(top.label)];
                      const bool quiet = top.label == "silence" || top.label == "breathing";
                      s.confident += top.confidence >= 0.6;
                      s.confidentSleep += (quiet || top.label == "snoring") && top.confidence >= 0.6;
                      s.confidentQuiet += quiet && top.confidence >= 0.6;
                  });
    }
    return s;
}

double share(const Summary& s, int count) {
    return s.windows ? double(count) / s.windows : 0.0;
}

double share(const Summary& s, SoundGroup g) {
    const auto it = s.topGroups.find(g);
    return share(s, it == s.topGroups.end() ? 0 : it->second);
}

} // namespace

TEST(ClassifierDecision, TheModelMatchesTheFeatureList) {
    ASSERT_EQ(model::kInputs, kFeatureCount)
        << "retrain: scripts/classifier/train-model (docs/classifier.md)";
    std::set<std::string_view> seen;
    for (int i = 0; i < model::kInputs; ++i) {
        const std::string_view name = featureName(Feature(i));
        EXPECT_FALSE(name.empty()) << "feature " << i << " has no name";
        EXPECT_TRUE(seen.insert(name).second) << name << " names two features";
        EXPECT_EQ(model::kFeatureNames[std::size_t(i)], name) << i;
    }
    const auto vocabulary = soundVocabulary();
    for (auto label : model::kLabels)
        EXPECT_NE(std::find(vocabulary.begin(), vocabulary.end(), label), vocabulary.end())
            << label << " must be in the vocabulary";
}

TEST(ClassifierDecision, EmittedLabelsKeepTheirMeaningForThePhaseLogic) {
    for (auto label : model::kLabels) {
        const SoundGroup g = soundGroupOf(label);
        // A barking dog, a bird or an unknown noise is never a sleeper's sound ("wind" is in both
        // sets; as an ambient sound it never enters the window).
        if (!labels::isAmbient(label)) {
            EXPECT_EQ(labels::isSleep(label),
                      g == SoundGroup::silence || g == SoundGroup::breathing || g == SoundGroup::snoring)
                << label;
        }
        EXPECT_EQ(labels::isAmbient(label), g == SoundGroup::music || g == SoundGroup::ambientNoise) << label;
        EXPECT_EQ(labels::isActivity(label), g == SoundGroup::activity) << label;
        EXPECT_EQ(labels::isSpeech(label), g == SoundGroup::speech) << label;
        if (g == SoundGroup::other) {
            EXPECT_FALSE(labels::isSleep(label) || labels::isActivity(label) || labels::isSpeech(label) ||
                         labels::isAmbient(label))
                << label << " counts in no set";
        }
    }
    for (auto label : {"chatter", "bird", "animal", "other"})
        EXPECT_NE(std::find(model::kLabels.begin(), model::kLabels.end(), label), model::kLabels.end())
            << label;
}

TEST(ClassifierDecision, AQuietRoomIsConfidentlyQuietAtEveryRate) {
    for (int rate : {16000, 44100, 48000}) {
        for (double floorDb : {-70.0, -60.0}) {
            auto x = whiteNoise(20, rate, floorDb, 11);
            const auto s = classify(x, rate);
            EXPECT_GE(share(s, s.confidentQuiet), 0.9) << rate << " Hz, floor " << floorDb << " dB";
        }
    }
}

TEST(ClassifierDecision, BreathingInAQuietBedroomIsBreathingOrSilence) {
    struct Row {
        int rate;
        double rpm;
        double peakAboveFloor;
    };
    for (Row row : {Row{16000, 10, 15}, Row{44100, 14, 20}, Row{48000, 20, 25}}) {
        auto x = whiteNoise(40, row.rate, -66, 12);
        addBreaths(x, row.rate, row.rpm, -66 + row.peakAboveFloor, 13);
        const auto s = classify(x, row.rate, 10.0);
        // What the phase logic admits is sleep, and it admits most windows (the pause between
        // two slow breaths may stay undecided between silence, breathing and snoring).
        EXPECT_GE(s.confidentSleep, s.confident * 95 / 100)
            << row.rate << " Hz, " << row.rpm << " per minute";
        EXPECT_GE(share(s, s.confidentSleep), 0.6) << row.rate << " Hz, " << row.rpm << " per minute";
        EXPECT_GE(share(s, SoundGroup::breathing), 0.5)
            << row.rate << " Hz, " << row.rpm << " per minute: the rhythm is heard";
    }
}

TEST(ClassifierDecision, TypingIsActivityAndNeverConfidentSleep) {
    for (int rate : {16000, 44100, 48000}) {
        auto x = whiteNoise(20, rate, -66, 14);
        addClicks(x, rate, 6, -25, 15);
        const auto s = classify(x, rate, 3.0);
        EXPECT_GE(share(s, SoundGroup::activity), 0.8) << rate;
        EXPECT_LE(share(s, s.confidentSleep), 0.05) << rate;
    }
}

TEST(ClassifierDecision, LoudSteadyNoiseIsAmbient) {
    for (int rate : {16000, 44100, 48000}) {
        auto x = whiteNoise(15, rate, -25, 16);
        const auto s = classify(x, rate);
        EXPECT_GE(share(s, SoundGroup::ambientNoise), 0.9) << rate;
        EXPECT_EQ(s.confidentSleep, 0) << rate;
    }
}

TEST(ClassifierDecision, SmoothLowSnoresAreNeverFootsteps) {
    // One-second 55 Hz buzzes with a smooth envelope every 4.6 s: no transient anywhere.
    for (int rate : {16000, 48000}) {
        auto x = whiteNoise(40, rate, -68, 31);
        const auto buzz = harmonicTone(1.0, rate, 55, -38);
        for (double t = 2.0; t + 1.0 < 40.0; t += 4.6) {
            const std::size_t start = std::size_t(t * rate);
            for (std::size_t i = 0; i < buzz.size(); ++i)
                x[start + i] +=
                    buzz[i] * float(std::pow(std::sin(kPi * double(i) / double(buzz.size())), 1.5));
        }
        const auto s = classify(x, rate, 10.0);
        EXPECT_EQ(share(s, SoundGroup::activity), 0.0) << rate;
        // What the phase logic admits (a top label at >= 0.6) is sleep, and there is enough of
        // it: the phase logic needs 20 admitted results in its 120 s, an eighth of the windows.
        // (The edges of this pure buzz may come out as a hesitant "other", which it ignores.)
        EXPECT_GE(share(s, s.confidentSleep), 0.25) << rate;
        EXPECT_LE(share(s, s.confident - s.confidentSleep), 0.1 * share(s, s.confident))
            << rate << ": little else with confidence";
    }
}
