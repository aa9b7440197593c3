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
