// testenv:
// The wake sounds the build renders: found next to the programs, decodable, audible, and
// looping without a click at the seam.

#include "platform/AudioFileReader.h"
#include "platform/linux/InstalledResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace mirl;

namespace {

// Loudness of the sample-to-sample change over 64-sample windows: a click at a seam is a
// sudden jump that makes its window stand out from the sound's own texture.
double roughness(const std::vector<float>& x, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < from + 64; ++i) {
        const double d = x[i + 1] - x[i];
        sum += d * d;
    }
    return std::sqrt(sum / 64);
}

// The window around the seam (end joined to start) compared with the 99.5th percentile of all
// windows inside the loop; above 1 means the seam is rougher than nearly everything else.
double seamRatio(const std::vector<float>& loop) {
    std::vector<float> joined(loop.end() - 256, loop.end());
    joined.insert(joined.end(), loop.begin(), loop.begin() + 256);
    double seam = 0;
    for (std::size_t at = 256 - 64; at <= 256; at += 8) {
        seam = std::max(seam, roughness(joined, at));
    }
    std::vector<double> windows;
    for (std::size_t at = 0; at + 65 < loop.size(); at += 32) {
        windows.push_back(roughness(loop, at));
    }
    std::sort(windows.begin(), windows.end());
    return seam / windows[windows.size() * 995 / 1000];
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

class WakeSoundFile : public testing::TestWithParam<const char*> {};

} // namespace

TEST(SeamMeasure, CatchesAClickAndPassesAWholeCycle) {
    auto sine = [](double cycles) {
        std::vector<float> x(static_cast<std::size_t>(48000 * 2));
        const double hz = cycles / 2.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] = static_cast<float>(0.5 *
                                      std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 48000));
        }
        return x;
    };
    EXPECT_LT(seamRatio(sine(440)), 1.1) << "whole cycles join smoothly";
    EXPECT_GT(seamRatio(sine(440.25)), 1.5) << "a quarter cycle off is a click";
}

TEST_P(WakeSoundFile, IsFoundAudibleAndLoopsWithoutAClick) {
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
    EXPECT_LT(seamRatio(loop), 1.0) << "the loop seam clicks";
    RecordProperty("seam_ratio", std::to_string(seamRatio(loop)));
}

INSTANTIATE_TEST_SUITE_P(Sounds, WakeSoundFile, testing::Values("Birds", "Sea", "River", "Bong", "Purr"));

TEST(InstalledResources, MissingSoundIsNothing) {
    InstalledResources resources;
    EXPECT_FALSE(resources.sound("NoSuchSound", "m4a"));
    InstalledResources elsewhere({"/nonexistent"});
    EXPECT_FALSE(elsewhere.sound("Birds", "m4a"));
}
