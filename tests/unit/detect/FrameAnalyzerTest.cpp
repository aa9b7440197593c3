#include "detect/classifier/FrameAnalyzer.h"
#include "detect/classifier/FastLog.h"
#include "tests/unit/detect/ClassifierSignals.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace mirl::classifier;
using namespace mirl::testsignals;

namespace {
// Analyses consecutive frames of x and returns the last one's features.
FrameFeatures lastFrame(const std::vector<float>& x) {
    FrameAnalyzer a;
    FrameFeatures f;
    for (std::size_t s = 0; s + kFrameLength <= x.size(); s += kHop)
        f = a.analyze(std::span<const float>(x).subspan(s, kFrameLength));
    return f;
}
} // namespace

TEST(FrameAnalyzer, FindsThePitchOfHarmonicTones) {
    for (double f0 : {70.0, 110.0, 200.0, 330.0}) {
        const auto f = lastFrame(harmonicTone(0.3, kAnalysisRate, f0, -20));
        EXPECT_GT(f.voicing, 0.8f) << f0 << " pitch " << f.pitchHz;
        EXPECT_NEAR(f.pitchHz, f0, f0 * 0.04) << f0;
        EXPECT_LT(f.flatness, 0.1f) << f0;
        EXPECT_GT(f.detailCorrelation, 0.8f) << "a held tone keeps its fine structure " << f0;
    }
}

TEST(FrameAnalyzer, NoiseIsFlatUnvoicedAndWithoutStructure) {
    const auto f = lastFrame(whiteNoise(0.5, kAnalysisRate, -20));
    EXPECT_LT(f.voicing, 0.45f);
    EXPECT_GT(f.flatness, 0.5f);
    EXPECT_LT(f.detailCorrelation, 0.3f);
    EXPECT_NEAR(f.energyDb, -20.0f, 0.5f);
    EXPECT_NEAR(f.slopeDbPerOctave, 0.0f, 1.0f) << "white noise has the same density in every octave";
    // Every band holds power in proportion to its width.
    for (int b = 1; b < kBandCount; ++b) {
        const double width = kBandEdgesHz[std::size_t(b) + 1] - kBandEdgesHz[std::size_t(b)];
        EXPECT_NEAR(f.bandDb[std::size_t(b)] - 10 * std::log10(width), f.bandDb[3] - 30.0f, 3.0f)
            << b; // one frame's noise
    }
}

TEST(FrameAnalyzer, PutsASineIntoItsBandAndMeasuresItsLevel) {
    struct Row {
        double hz;
        int band;
    };
    for (Row row :
         {Row{150, 0}, Row{400, 1}, Row{700, 2}, Row{1500, 3}, Row{3000, 4}, Row{4500, 5}, Row{6500, 6}}) {
        const auto f = lastFrame(sine(0.3, kAnalysisRate, row.hz, 0.1));
        EXPECT_NEAR(f.energyDb, -23.0f, 0.5f) << row.hz; // 0.1 amplitude = -23 dB RMS
        for (int b = 0; b < kBandCount; ++b) {
            if (b == row.band)
                EXPECT_NEAR(f.bandDb[std::size_t(b)], -23.0f, 0.5f) << row.hz;
            else
                EXPECT_LT(f.bandDb[std::size_t(b)], -50.0f) << row.hz << " band " << b;
        }
        if (row.hz < kBandEdgesHz[kSpeechBandLast + 1]) { // measured where every source has sound
            EXPECT_NEAR(f.centroidHz, row.hz, 20.0) << row.hz;
        }
    }
}

TEST(FrameAnalyzer, ADigitalSilenceGivesTheFloorAndNoPitch) {
    const std::vector<float> x(4096, 0.0f);
    const auto f = lastFrame(x);
    EXPECT_NEAR(f.energyDb, kSilenceFloorDb, 0.01f) << "digital silence is one level, not a range";
    for (float b : f.bandDb)
        EXPECT_NEAR(b, kSilenceFloorDb, 0.01f);
    EXPECT_EQ(f.voicing, 0.0f);
    EXPECT_EQ(f.pitchHz, 0.0f);
}

TEST(FrameAnalyzer, ShapeInTheSpeechBandDoesNotChangeWithABandLimit) {
    // A 180 Hz buzz with harmonics up to 8 kHz, and the same cut at 3.4 kHz (a headset).
    const auto full = lastFrame(harmonicTone(0.3, kAnalysisRate, 180, -25, 7900));
    const auto limited = lastFrame(harmonicTone(0.3, kAnalysisRate, 180, -25, 3300));
    EXPECT_NEAR(full.slopeDbPerOctave, limited.slopeDbPerOctave, 1.0f);
    EXPECT_NEAR(full.flatness, limited.flatness, 0.05f);
    EXPECT_NEAR(full.centroidHz, limited.centroidHz, 60.0f);
    EXPECT_NEAR(full.pitchHz, limited.pitchHz, 5.0f);
    EXPECT_LT(limited.bandDb[6], full.bandDb[6] - 30.0f);
}

TEST(FastLog, MatchesTheLibraryOverEveryOctave) {
    for (float x : {1e-12f, 3.7e-9f, 1e-5f, 0.2f, 1.0f, 1.5f, 1.9999f, 7.0f, 123456.0f}) {
        EXPECT_NEAR(fastLog2(x), std::log2(x), 5e-5f) << x;
        EXPECT_NEAR(fastPowerDb(x), 10.0f * std::log10(x), 2e-4f) << x;
    }
}
