#include "detect/classifier/FeatureSoundClassifier.h"
#include "detect/classifier/Resampler.h"
#include "detect/classifier/SoundLabels.h"
#include "tests/unit/detect/ClassifierSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace mirl;
using namespace mirl::testsignals;

namespace {

std::vector<ClassificationResult> feed(SoundClassifier& c, const std::vector<float>& x, double rate,
                                       std::size_t chunk) {
    std::vector<ClassificationResult> out;
    for (std::size_t i = 0; i < x.size(); i += chunk) {
        const std::size_t n = std::min(chunk, x.size() - i);
        c.process(std::span<const float>(x).subspan(i, n), rate,
                  [&](const ClassificationResult& r) { out.push_back(r); });
    }
    return out;
}

double rms(std::span<const float> x) {
    double s = 0;
    for (float v : x)
        s += double(v) * v;
    return std::sqrt(s / double(x.size()));
}

} // namespace

TEST(ClassifierResampler, KeepsThePassBandAndRejectsWhatWouldAlias) {
    struct Row {
        const char* name;
        int rate;
        double hz;
        double expectGain; // output RMS over input RMS
        double tolerance;
    };
    for (const Row& row :
         {Row{"48k 1 kHz passes", 48000, 1000, 1.0, 0.02}, Row{"44.1k 3 kHz passes", 44100, 3000, 1.0, 0.02},
          Row{"8k 1 kHz passes (upsampling)", 8000, 1000, 1.0, 0.03},
          Row{"48k 12 kHz is rejected", 48000, 12000, 0.0, 0.01},
          Row{"44.1k 9.5 kHz is rejected", 44100, 9500, 0.0, 0.01}}) {
        classifier::Resampler r(row.rate, 16000);
        const auto in = sine(2.0, row.rate, row.hz, 0.5);
        std::vector<float> out;
        r.push(in, out);
        ASSERT_GT(out.size(), 16000u) << row.name;
        const double gain = rms(std::span<const float>(out).subspan(1000, 20000)) / (0.5 / std::sqrt(2.0));
        EXPECT_NEAR(gain, row.expectGain, row.tolerance) << row.name;
    }
}

TEST(ClassifierResampler, ChunkingDoesNotChangeTheOutput) {
    const auto in = whiteNoise(1.0, 44100, -20);
    classifier::Resampler whole(44100, 16000), pieces(44100, 16000);
    std::vector<float> a, b;
    whole.push(in, a);
    for (std::size_t i = 0; i < in.size(); i += 333)
        pieces.push(std::span<const float>(in).subspan(i, std::min<std::size_t>(333, in.size() - i)), b);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << i;
    // Output sample n sits at input time n * 44100 / 16000: all but the lookahead is out.
    EXPECT_EQ(std::int64_t(a.size()), (std::int64_t(in.size()) - whole.lookahead() - 1) * 16000 / 44100 + 1);
}

TEST(ClassifierWindows, OneResultEvery750MillisecondsWhateverTheBufferSize) {
    struct Row {
        int rate;
        std::size_t chunk;
    };
    std::vector<ClassificationResult> reference;
    for (const Row& row : {Row{48000, 8192}, Row{48000, 1}, Row{44100, 4410}, Row{44100, 100000},
                           Row{16000, 7}, Row{22050, 1024}}) {
        auto x = whiteNoise(10.0, row.rate, -30);
        FeatureSoundClassifier c;
        const auto results = feed(c, x, row.rate, row.chunk);
        // Windows [0, 1.5), [0.75, 2.25) ... [8.25, 9.75): twelve fit into 10 s.
        ASSERT_EQ(results.size(), 12u) << row.rate << "/" << row.chunk;
        for (std::size_t i = 0; i < results.size(); ++i) {
            EXPECT_DOUBLE_EQ(results[i].startSeconds, 0.75 * double(i)) << row.rate << "/" << row.chunk;
            EXPECT_DOUBLE_EQ(results[i].durationSeconds, 1.5);
            ASSERT_FALSE(results[i].labels.empty());
            for (std::size_t k = 1; k < results[i].labels.size(); ++k)
                EXPECT_GE(results[i].labels[k - 1].confidence, results[i].labels[k].confidence);
            for (const auto& l : results[i].labels) {
                EXPECT_GE(l.confidence, 0.0);
                EXPECT_LE(l.confidence, 1.0);
            }
        }
        if (row.rate == 48000) { // same audio, other chunking: same answers
            if (reference.empty()) {
                reference = results;
            } else {
                for (std::size_t i = 0; i < results.size(); ++i) {
                    EXPECT_EQ(results[i].labels[0].label, reference[i].labels[0].label);
                    EXPECT_FLOAT_EQ(float(results[i].labels[0].confidence),
                                    float(reference[i].labels[0].confidence));
                }
            }
        }
    }
}

TEST(ClassifierWindows, AWindowIsDeliveredWhenItsAudioHasArrived) {
    // The frames of the first window reach 1.474 s; the result comes within the window's 1.5 s.
    FeatureSoundClassifier c;
    auto x = whiteNoise(1.5, 48000, -30);
    int count = 0;
    c.process(std::span<const float>(x).first(std::size_t(1.45 * 48000)), 48000,
              [&](const auto&) { ++count; });
    EXPECT_EQ(count, 0);
    c.process(std::span<const float>(x).subspan(std::size_t(1.45 * 48000)), 48000,
              [&](const auto&) { ++count; });
    EXPECT_EQ(count, 1);
}

TEST(ClassifierWindows, ARateChangeRestartsTheWindowsOnTheSameTimeLine) {
    FeatureSoundClassifier c;
    std::vector<double> starts;
    auto collect = [&](const ClassificationResult& r) { starts.push_back(r.startSeconds); };
    const auto a = whiteNoise(3.0, 48000, -30);
    c.process(a, 48000, collect);
    const auto b = whiteNoise(3.0, 16000, -30);
    c.process(b, 16000, collect);
    // 0, 0.75, 1.5 from the first 3 s; the rest restart at 3 s.
    const std::vector<double> expected{0.0, 0.75, 1.5, 3.0, 3.75, 4.5};
    ASSERT_EQ(starts.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(starts[i], expected[i], 1e-9);
}

TEST(ClassifierWindows, ResetStartsANewStreamAtZero) {
    FeatureSoundClassifier c;
    std::vector<double> starts;
    auto collect = [&](const ClassificationResult& r) { starts.push_back(r.startSeconds); };
    const auto a = whiteNoise(2.0, 48000, -30);
    c.process(a, 48000, collect);
    c.process(std::span<const float>(a).first(1000), 48000, collect); // a partial window, dropped by reset
    c.reset();
    starts.clear();
    c.process(a, 48000, collect);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], 0.0);
}

TEST(ClassifierWindows, UnusableInputIsContained) {
    FeatureSoundClassifier c;
    int count = 0;
    auto x = whiteNoise(2.0, 48000, -30);
    c.process(x, 0.0, [&](const auto&) { ++count; });
    c.process(x, std::nan(""), [&](const auto&) { ++count; });
    c.process(x, -44100, [&](const auto&) { ++count; });
    EXPECT_EQ(count, 0);
    for (std::size_t i = 0; i < x.size(); i += 7)
        x[i] = i % 2 ? std::numeric_limits<float>::infinity() : std::nanf("");
    std::vector<ClassificationResult> results;
    c.process(x, 48000, [&](const auto& r) { results.push_back(r); });
    ASSERT_EQ(results.size(), 1u);
    ASSERT_FALSE(results[0].labels.empty());
    EXPECT_TRUE(std::isfinite(results[0].labels[0].confidence));
}

TEST(ClassifierVocabulary, ContainsEveryLabelThePhaseLogicCounts) {
    const std::set<std::string_view> vocabulary(classifier::soundVocabulary().begin(),
                                                classifier::soundVocabulary().end());
    for (std::string_view label :
         {"breathing",       "snoring",   "silence",    "gasp",      "sigh",   "fowl",
          "goose_honk",      "dog_growl", "snake_hiss", "skiing",    "wind",   "whoosh_swoosh_swish",
          "chatter",         "babble",    "laughter",   "footsteps", "typing", "typing_computer_keyboard",
          "finger_snapping", "speech",    "whispering", "music",     "rain",   "white_noise",
          "pink_noise",      "ocean"})
        EXPECT_TRUE(vocabulary.count(label)) << label;
    EXPECT_EQ(vocabulary.size(), classifier::soundVocabulary().size()) << "no label listed twice";
}
