// testenv:
// The wake sounds the build renders: found next to the programs, decodable, audible, and
// looping without a seam: where the end runs into the start, the sound is continuous in value
// and slope, with no click and no burst of coding noise.

#include "platform/AudioFileReader.h"
#include "platform/linux/InstalledResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

using namespace mirl;

namespace {

constexpr std::size_t kWindow = 128;

// How far each sample lies from the straight line through the two before it (the second
// difference), as an RMS per 128-sample window: a jump in value or slope, or a burst of noise,
// stands out from the sound's own texture.
std::vector<double> roughness(const std::vector<float>& x) {
    std::vector<double> out;
    for (std::size_t at = 2; at + kWindow <= x.size(); at += kWindow) {
        double sum = 0;
        for (std::size_t i = at; i < at + kWindow; ++i) {
            const double d = static_cast<double>(x[i]) - 2.0 * x[i - 1] + x[i - 2];
            sum += d * d;
        }
        out.push_back(std::sqrt(sum / kWindow));
    }
    return out;
}

// The roughest window within 1024 samples of point p of the loop (played round and round),
// relative to the median window of the quarter second around p.
double roughnessAt(const std::vector<float>& loop, std::size_t p) {
    const std::size_t half = 12288;
    std::vector<float> around(2 * half);
    for (std::size_t i = 0; i < around.size(); ++i)
        around[i] = loop[(p + loop.size() - half + i) % loop.size()];
    std::vector<double> r = roughness(around);
    const std::size_t centre = half / kWindow;
    const double nearest = *std::max_element(r.begin() + centre - 8, r.begin() + centre + 8);
    std::nth_element(r.begin(), r.begin() + r.size() / 2, r.end());
    return nearest / std::max(r[r.size() / 2], 1e-12);
}

struct Seam {
    double atSeam;  // roughnessAt the loop's start
    double typical; // the 99th percentile of roughnessAt over the rest of the loop
};

Seam measureSeam(const std::vector<float>& loop) {
    std::vector<double> elsewhere;
    for (std::size_t p = 8192; p + 8192 < loop.size(); p += 2048)
        elsewhere.push_back(roughnessAt(loop, p));
    std::sort(elsewhere.begin(), elsewhere.end());
    return {roughnessAt(loop, 0), elsewhere[elsewhere.size() * 99 / 100]};
}

// The seam is no rougher than nearly every other point of the loop.
bool seamless(const Seam& seam) {
    return seam.atSeam <= 1.25 * seam.typical;
}

std::vector<float> decodeLoop(const std::filesystem::path& path, double* rate) {
    auto opened = openAudioFile(path);
    if (!opened.reader) {
        ADD_FAILURE() << opened.error;
        return {};
    }
    *rate = opened.reader->sampleRate();
    const auto length = opened.reader->lengthFrames();
    std::vector<float> all;
    while (static_cast<std::int64_t>(all.size()) < length) {
        auto block = opened.reader->read(static_cast<std::int64_t>(all.size()), 2048);
        if (block.empty()) {
            break;
        }
        all.insert(all.end(), block.begin(), block.end());
    }
    all.resize(static_cast<std::size_t>(std::max<std::int64_t>(length, 0)));
    return all;
}

std::vector<float> sine(double cycles) {
    std::vector<float> x(static_cast<std::size_t>(48000 * 2));
    const double hz = cycles / 2.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 48000));
    return x;
}

class WakeSoundFile : public testing::TestWithParam<const char*> {};

} // namespace

TEST(SeamMeasure, PassesAWholeCycleAndCatchesAJumpABendAndABurst) {
    EXPECT_TRUE(seamless(measureSeam(sine(440)))) << "whole cycles join smoothly";
    EXPECT_FALSE(seamless(measureSeam(sine(440.25)))) << "a quarter cycle off jumps in value";

    // Half a cycle off: the end runs down into zero and the start climbs from it, continuous in
    // value but not in slope.
    EXPECT_FALSE(seamless(measureSeam(sine(440.5)))) << "a kink in slope";

    // Coding noise at the start, a hundredth of the tone's level, for 5 ms.
    std::vector<float> burst = sine(440);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.005);
    for (std::size_t i = 0; i < 240; ++i)
        burst[i] += static_cast<float>(noise(random));
    EXPECT_FALSE(seamless(measureSeam(burst))) << "a faint burst of noise";
}

TEST_P(WakeSoundFile, IsFoundAudibleAndLoopsWithoutASeam) {
    InstalledResources resources;
    const auto path = resources.sound(GetParam(), "m4a");
    ASSERT_TRUE(path) << GetParam() << ".m4a is not next to the test program";
    double rate = 0;
    const auto loop = decodeLoop(*path, &rate);
    ASSERT_EQ(rate, 48000);
    const double seconds = static_cast<double>(loop.size()) / rate;
    EXPECT_GE(seconds, 5.0);
    EXPECT_LE(seconds, 30.0);
    double energy = 0;
    float peak = 0;
    for (float s : loop) {
        energy += static_cast<double>(s) * s;
        peak = std::max(peak, std::abs(s));
    }
    const double rms = std::sqrt(energy / static_cast<double>(loop.size()));
    EXPECT_GT(rms, 0.03) << "too quiet";
    EXPECT_LT(peak, 0.99f) << "clipping";
    const Seam seam = measureSeam(loop);
    EXPECT_TRUE(seamless(seam)) << "the loop seam is " << seam.atSeam
                                << " times as rough as its surroundings; 99 % of the loop's other "
                                   "points are at most "
                                << seam.typical;
    RecordProperty("seam_roughness", std::to_string(seam.atSeam));
    RecordProperty("typical_roughness", std::to_string(seam.typical));
}

INSTANTIATE_TEST_SUITE_P(Sounds, WakeSoundFile, testing::Values("Birds", "Sea", "River", "Bong", "Purr"));

TEST(InstalledResources, MissingSoundIsNothing) {
    InstalledResources resources;
    EXPECT_FALSE(resources.sound("NoSuchSound", "m4a"));
    InstalledResources elsewhere({"/nonexistent"});
    EXPECT_FALSE(elsewhere.sound("Birds", "m4a"));
}
