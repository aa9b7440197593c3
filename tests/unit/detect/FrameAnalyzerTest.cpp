#include "detect/classifier/FrameAnalyzer.h"
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
    // Each octave band holds about half the power of the next one up.
    EXPECT_NEAR(f.bandDb[5] - f.bandDb[4], 3.0f, 1.0f);
}

TEST(FrameAnalyzer, PutsASineIntoItsBandAndMeasuresItsLevel) {
    struct Row {
        double hz;
        int band;
    };
    for (Row row : {Row{150, 0}, Row{400, 1}, Row{700, 2}, Row{1500, 3}, Row{3000, 4}, Row{6000, 5}}) {
        const auto f = lastFrame(sine(0.3, kAnalysisRate, row.hz, 0.1));
        EXPECT_NEAR(f.energyDb, -23.0f, 0.5f) << row.hz; // 0.1 amplitude = -23 dB RMS
        for (int b = 0; b < kBandCount; ++b) {
            if (b == row.band)
                EXPECT_NEAR(f.bandDb[std::size_t(b)], -23.0f, 0.5f) << row.hz;
            else
                EXPECT_LT(f.bandDb[std::size_t(b)], -50.0f) << row.hz << " band " << b;
        }
        EXPECT_NEAR(f.centroidHz, row.hz, 20.0) << row.hz;
    }
}

TEST(FrameAnalyzer, ADigitalSilenceGivesTheFloorAndNoPitch) {
    const std::vector<float> x(4096, 0.0f);
    const auto f = lastFrame(x);
    EXPECT_LE(f.energyDb, -119.0f);
    EXPECT_EQ(f.voicing, 0.0f);
    EXPECT_EQ(f.pitchHz, 0.0f);
}
