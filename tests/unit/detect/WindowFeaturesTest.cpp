#include "detect/classifier/WindowFeatures.h"
#include "detect/classifier/FrameAnalyzer.h"
#include "tests/unit/detect/ClassifierSignals.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace mirl::classifier;
using namespace mirl::testsignals;

namespace {
// Features of the last window of x (at the analysis rate), with all of x as context.
FeatureVector lastWindow(const std::vector<float>& x) {
    FrameAnalyzer a;
    WindowFeatureExtractor w;
    for (std::size_t s = 0; s + kFrameLength <= x.size(); s += kHop)
        w.addFrame(a.analyze(std::span<const float>(x).subspan(s, kFrameLength)));
    return w.compute();
}

float get(const FeatureVector& v, Feature f) {
    return v[std::size_t(f)];
}

// Noise whose envelope follows a raised sine at hz with the given depth in dB.
std::vector<float> modulatedNoise(double seconds, double hz, double depthDb, double levelDb) {
    auto x = whiteNoise(seconds, kAnalysisRate, levelDb, 21);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double phase = 0.5 + 0.5 * std::sin(2 * kPi * hz * double(i) / kAnalysisRate);
        x[i] *= dbToAmplitude(-depthDb * (1 - phase));
    }
    return x;
}
} // namespace

TEST(WindowFeatures, SteadyNoiseSitsAtItsFloorWithoutEvents) {
    const auto v = lastWindow(whiteNoise(12, kAnalysisRate, -40, 22));
    EXPECT_NEAR(get(v, Feature::levelDb), -40.0f, 1.0f);
    EXPECT_LT(get(v, Feature::aboveFloorDb), 2.0f);
    EXPECT_LT(get(v, Feature::rangeDb), 6.0f);
    EXPECT_EQ(get(v, Feature::onsetRate), 0.0f);
    EXPECT_LT(get(v, Feature::breathRhythm), 0.4f);
    EXPECT_LT(get(v, Feature::voicedShare), 0.1f);
}

TEST(WindowFeatures, ASingleCallInAQuietContextShowsAsItsPeak) {
    struct Row {
        const char* what;
        bool withCall;
    };
    for (Row row : {Row{"steady floor", false}, Row{"one call", true}}) {
        auto x = whiteNoise(12, kAnalysisRate, -60, 30);
        if (row.withCall) {
            const auto call = harmonicTone(0.3, kAnalysisRate, 400, -25);
            const std::size_t at = std::size_t(4 * kAnalysisRate);
            for (std::size_t i = 0; i < call.size(); ++i)
                x[at + i] += call[i];
        }
        const auto v = lastWindow(x);
        EXPECT_LT(get(v, Feature::historyRangeDb), 6.0f) << row.what << ": most of the context is floor";
        if (row.withCall)
            EXPECT_GT(get(v, Feature::historyPeakDb), 20.0f) << row.what;
        else
            EXPECT_LT(get(v, Feature::historyPeakDb), 6.0f) << row.what;
    }
}

TEST(WindowFeatures, CountsKeystrokeLikeClicks) {
    struct Row {
        double perSecond;
    };
    for (Row row : {Row{3}, Row{6}}) {
        auto x = whiteNoise(12, kAnalysisRate, -65, 23);
        addClicks(x, kAnalysisRate, row.perSecond, -20, 24);
        const auto v = lastWindow(x);
        EXPECT_NEAR(get(v, Feature::historyOnsetRate), row.perSecond, row.perSecond * 0.35) << row.perSecond;
        EXPECT_GT(get(v, Feature::crestDb), 15.0f) << row.perSecond;
    }
}

TEST(WindowFeatures, HearsTheRhythmOfBreathing) {
    for (double rpm : {10.0, 15.0, 22.0}) {
        auto x = whiteNoise(14, kAnalysisRate, -66, 25);
        addBreaths(x, kAnalysisRate, rpm, -45, 26);
        const auto v = lastWindow(x);
        EXPECT_GT(get(v, Feature::breathRhythm), 0.6f) << rpm;
        EXPECT_GT(get(v, Feature::slowSwing), 6.0f) << rpm;
    }
    // Fewer than 8 s of context: no rhythm yet.
    auto x = whiteNoise(6, kAnalysisRate, -66, 25);
    addBreaths(x, kAnalysisRate, 15, -45, 26);
    EXPECT_EQ(get(lastWindow(x), Feature::breathRhythm), 0.0f);
}

TEST(WindowFeatures, SyllableRateModulationIsSeparatedFromSlowSwells) {
    const auto syllables = lastWindow(modulatedNoise(4, 4.0, 20, -30));
    const auto swell = lastWindow(modulatedNoise(4, 0.3, 20, -30));
    EXPECT_GT(get(syllables, Feature::syllabic), 0.6f);
    EXPECT_LT(get(swell, Feature::syllabic), 0.3f);
}

TEST(WindowFeatures, AHarmonicToneIsVoicedAndPersistent) {
    const auto v = lastWindow(harmonicTone(3, kAnalysisRate, 180, -30));
    EXPECT_GT(get(v, Feature::voicedShare), 0.9f);
    EXPECT_NEAR(get(v, Feature::pitch), std::log2(180.0f), 0.1f);
    EXPECT_GT(get(v, Feature::persistence), 0.8f);
    EXPECT_LT(get(v, Feature::pitchJitter), 0.02f);
}

TEST(WindowFeatures, TheContextStartsAtAScenesChange) {
    struct Row {
        const char* what;
        std::vector<float> energies;
        std::size_t steady;
    };
    auto concat = [](std::size_t a, float aDb, std::size_t b, float bDb) {
        std::vector<float> x(a, aDb);
        x.insert(x.end(), b, bDb);
        return x;
    };
    // Breathing: loud and quiet frames alternate every 2 s, which is no change of scene.
    std::vector<float> breathing;
    for (int i = 0; i < 400; ++i)
        breathing.push_back((i / 66) % 2 ? -45.0f : -66.0f);
    for (const Row& row : {
             Row{"steady room", std::vector<float>(400, -60.0f), 400},
             Row{"a television switched on 3 s ago", concat(300, -65, 100, -30), 98},
             Row{"music stopped 4 s ago", concat(267, -30, 133, -65), 148},
             Row{"a short start: all of it", std::vector<float>(60, -40.0f), 60},
             Row{"breathing", breathing, 400},
         }) {
        EXPECT_EQ(WindowFeatureExtractor::steadyFrames(row.energies), row.steady) << row.what;
    }
}

TEST(WindowFeatures, LevelsAfterAChangeAreMeasuredAgainstTheNewScene) {
    // Ten seconds of a quiet room, then two seconds of a steady loud noise (a fan switched on).
    auto x = whiteNoise(10, kAnalysisRate, -70, 27);
    const auto fan = whiteNoise(2, kAnalysisRate, -30, 28);
    x.insert(x.end(), fan.begin(), fan.end());
    const auto v = lastWindow(x);
    EXPECT_LT(get(v, Feature::steadySeconds), 3.0f);
    EXPECT_LT(get(v, Feature::aboveFloorDb), 3.0f) << "the fan is the new floor";
}

TEST(WindowFeatures, DigitalSilenceBetweenEventsStaysInRange) {
    std::vector<float> x(std::size_t(8 * kAnalysisRate), 0.0f);
    addClicks(x, kAnalysisRate, 3, -25, 29);
    const auto v = lastWindow(x);
    for (int i = 0; i < kFeatureCount; ++i)
        EXPECT_TRUE(std::isfinite(v[std::size_t(i)])) << featureName(Feature(i));
    EXPECT_GT(get(v, Feature::digitalShare), 0.3f);
    EXPECT_LE(get(v, Feature::aboveFloorDb), 100.0f) << "digital zero is -100 dB, not minus infinity";
    EXPECT_NEAR(get(v, Feature::historyOnsetRate), 3.0f, 1.2f);
}
