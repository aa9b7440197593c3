#include "journal/recording/RecordingAnalysis.h"
#include "journal/recording/SpectrumColumns.h"
#include "platform/ConcatenatedAudioFileReader.h"
#include "platform/fake/MemoryAudioFileReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <set>

using namespace mirl;
using namespace mirl::recording;

namespace {

std::vector<float> tone(std::size_t frames, double hz, double rate, float amplitude) {
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] = amplitude *
                     static_cast<float>(std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
    return samples;
}

/// A tone over a quiet, fixed-seed white noise floor.
std::vector<float> toneOverNoise(std::size_t frames, double hz, double rate) {
    auto samples = tone(frames, hz, rate, 0.5f);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1e-3f, 1e-3f);
    for (auto& v : samples)
        v += noise(random);
    return samples;
}

std::array<std::uint8_t, 3> pixel(const RgbaImage& image, int x, int row) {
    const auto* p = &image.pixels[(static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) +
                                   static_cast<std::size_t>(x)) *
                                  4];
    EXPECT_EQ(p[3], 255);
    return {p[0], p[1], p[2]};
}

int brightness(const std::array<std::uint8_t, 3>& rgb) {
    return rgb[0] + rgb[1] + rgb[2];
}

} // namespace

TEST(RecordingAnalysis, HopAndFrameCount) {
    struct Case {
        std::int64_t length, hop, frames;
    } cases[] = {
        {0, 2048, 0},         {1000, 2048, 1},      {2048, 2048, 1},
        {4095, 2048, 1},      {4096, 2048, 2},      {1638400, 2048, 800},
        {1640447, 2050, 800}, {3276800, 4096, 800}, {48000LL * 28800, 1728000, 800},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hopFrames(c.length), c.hop) << c.length;
        EXPECT_EQ(frameCount(c.length), c.frames) << c.length;
    }
}

TEST(RecordingAnalysis, FewerThanOneFrameGivesADurationOnly) {
    MemoryAudioFileReader reader(tone(2047, 440, 48000, 0.5f), 48000);
    auto pictures = analyzeRecording(reader);
    EXPECT_NEAR(pictures.durationSeconds, 2047.0 / 48000, 1e-12);
    EXPECT_TRUE(pictures.peaks.empty());
    EXPECT_FALSE(pictures.spectrogram);
    EXPECT_EQ(reader.reads, 0);
}

TEST(RecordingAnalysis, ExactlyOneFrameGivesOnePeakAndAOneColumnImage) {
    MemoryAudioFileReader reader(toneOverNoise(2048, 1000, 16000), 16000);
    auto pictures = analyzeRecording(reader);
    ASSERT_EQ(pictures.peaks.size(), 1u);
    EXPECT_NEAR(pictures.peaks[0], 0.5 / std::sqrt(2.0), 1e-3);
    ASSERT_TRUE(pictures.spectrogram);
    EXPECT_EQ(pictures.spectrogram->width, 1);
    EXPECT_EQ(pictures.spectrogram->height, 1024);
    EXPECT_EQ(pictures.spectrogram->pixels.size(), 1024u * 4);
    EXPECT_DOUBLE_EQ(pictures.durationSeconds, 0.128);
}

TEST(RecordingAnalysis, LongFilesAreCutIntoAtMost800FramesOfTheirOwnHop) {
    for (std::int64_t length : {1638400LL, 3276800LL}) {
        MemoryAudioFileReader reader(toneOverNoise(static_cast<std::size_t>(length), 440, 48000), 48000);
        auto pictures = analyzeRecording(reader);
        EXPECT_EQ(pictures.peaks.size(), 800u) << length;
        EXPECT_EQ(reader.reads, 800) << length;
        ASSERT_TRUE(pictures.spectrogram);
        EXPECT_EQ(pictures.spectrogram->width, 800);
    }
}

TEST(RecordingAnalysis, SpectrumMagnitudesAreScaledToAQuarterOfTheWindowedAmplitude) {
    // A sine of amplitude A exactly on bin k: |X_k| = A * 2048 / 4 under the Hann window, so
    // |X_k| / 1024 = A / 2, and half that on the two neighbours.
    const auto frame = tone(2048, 100 * 48000.0 / 2048, 48000, 0.5f);
    SpectrumColumns spectra;
    std::vector<float> column;
    spectra.append(frame, column);
    ASSERT_EQ(column.size(), 1024u);
    EXPECT_NEAR(column[100], 0.25, 1e-4);
    EXPECT_NEAR(column[99], 0.125, 1e-4);
    EXPECT_NEAR(column[101], 0.125, 1e-4);
    EXPECT_LT(column[300], 1e-5);
    EXPECT_LT(column[0], 1e-5);
}

namespace {

/// The rows that hold the brightest colour in every column of the image.
std::set<int> rowsAlwaysBrightest(const RgbaImage& image) {
    std::set<int> rows;
    for (int row = 0; row < image.height; ++row) {
        bool always = true;
        for (int x = 0; x < image.width && always; ++x)
            always = pixel(image, x, row) == spectrogramColour(255);
        if (always)
            rows.insert(row);
    }
    return rows;
}

} // namespace

TEST(RecordingAnalysis, AConstantToneLandsInItsRow) {
    // Bin 100 at 48 kHz (a tone exactly on it): row 1023 - 100 from the top, with its two
    // window neighbours. The noise floor's loudest 5 % are at the reference too, but never in
    // the same row in every column.
    const double rate = 48000;
    const int bin = 100;
    MemoryAudioFileReader reader(toneOverNoise(96000, bin * rate / 2048, rate), rate);
    auto pictures = analyzeRecording(reader);
    ASSERT_TRUE(pictures.spectrogram);
    ASSERT_EQ(pictures.spectrogram->width, 46);
    const int row = 1023 - bin;
    EXPECT_EQ(rowsAlwaysBrightest(*pictures.spectrogram), (std::set<int>{row - 1, row, row + 1}));
    for (float peak : pictures.peaks) // a constant amplitude: all peaks equal
        EXPECT_NEAR(peak, 0.5 / std::sqrt(2.0), 1e-3);

    MemoryAudioFileReader higher(toneOverNoise(96000, 3 * bin * rate / 2048, rate), rate);
    auto higherPictures = analyzeRecording(higher);
    ASSERT_TRUE(higherPictures.spectrogram);
    const int higherRow = 1023 - 3 * bin;
    EXPECT_EQ(rowsAlwaysBrightest(*higherPictures.spectrogram),
              (std::set<int>{higherRow - 1, higherRow, higherRow + 1}));
}

TEST(RecordingAnalysis, ASilentFileGivesPeaksButNoImage) {
    MemoryAudioFileReader reader(std::vector<float>(48000, 0.0f), 48000);
    auto pictures = analyzeRecording(reader);
    EXPECT_EQ(pictures.peaks.size(), static_cast<std::size_t>(frameCount(48000)));
    for (float peak : pictures.peaks)
        EXPECT_EQ(peak, 0.0f);
    EXPECT_FALSE(pictures.spectrogram);
    EXPECT_DOUBLE_EQ(pictures.durationSeconds, 1.0);
}

TEST(RecordingAnalysis, AFailedReadEndsTheAnalysisWithTheFramesSoFar) {
    MemoryAudioFileReader reader(toneOverNoise(2048 * 10, 1000, 16000), 16000);
    reader.failFrom = 2048 * 4;
    auto pictures = analyzeRecording(reader);
    EXPECT_EQ(pictures.peaks.size(), 4u);
    ASSERT_TRUE(pictures.spectrogram);
    EXPECT_EQ(pictures.spectrogram->width, 4);
    EXPECT_DOUBLE_EQ(pictures.durationSeconds, 2048 * 10 / 16000.0);
}

TEST(RecordingAnalysis, AContainerThatClaimsTooMuchEndsWhereTheSamplesEnd) {
    // The last real frame comes back short (skipped); reads past the end give nothing (stop).
    MemoryAudioFileReader reader(tone(2048 * 3 + 100, 1000, 16000, 0.3f), 16000);
    reader.claimedLength = 2048 * 10;
    auto pictures = analyzeRecording(reader);
    EXPECT_EQ(pictures.peaks.size(), 3u);
    EXPECT_EQ(reader.reads, 5);
}

TEST(RecordingAnalysis, NoRateOrNoLengthGivesNothing) {
    MemoryAudioFileReader noRate(std::vector<float>(4096, 0.1f), 0);
    EXPECT_TRUE(analyzeRecording(noRate).peaks.empty());
    EXPECT_EQ(analyzeRecording(noRate).durationSeconds, 0);
    MemoryAudioFileReader empty({}, 48000);
    EXPECT_EQ(analyzeRecording(empty).durationSeconds, 0);
}

TEST(RecordingAnalysis, GarbageSamplesDoNotPoisonThePicture) {
    auto samples = toneOverNoise(2048 * 4, 1000, 16000);
    samples[5000] = std::numeric_limits<float>::quiet_NaN();
    samples[7000] = std::numeric_limits<float>::infinity();
    MemoryAudioFileReader reader(std::move(samples), 16000);
    auto pictures = analyzeRecording(reader);
    ASSERT_EQ(pictures.peaks.size(), 4u);
    for (float peak : pictures.peaks)
        EXPECT_TRUE(std::isfinite(peak));
    EXPECT_TRUE(pictures.spectrogram);
}

TEST(RecordingAnalysis, CancellingStopsBeforeTheNextFrame) {
    MemoryAudioFileReader reader(std::vector<float>(2048 * 50, 0.1f), 16000);
    std::atomic<bool> cancelled{true};
    auto pictures = analyzeRecording(reader, &cancelled);
    EXPECT_TRUE(pictures.peaks.empty());
    EXPECT_EQ(reader.reads, 0);
}

TEST(RecordingAnalysis, ColourMapEnds) {
    EXPECT_EQ(spectrogramColour(0), (std::array<std::uint8_t, 3>{0, 0, 3}));
    EXPECT_EQ(spectrogramColour(255), (std::array<std::uint8_t, 3>{251, 217, 159}));
    // Brightness rises along the map.
    for (int i = 1; i < 256; ++i)
        EXPECT_GE(brightness(spectrogramColour(static_cast<std::uint8_t>(i))),
                  brightness(spectrogramColour(static_cast<std::uint8_t>(i - 1))))
            << i;
}

TEST(RecordingAnalysis, PartsAreAnalysedAsOneRecording) {
    std::vector<std::unique_ptr<AudioFileReader>> parts;
    parts.push_back(std::make_unique<MemoryAudioFileReader>(std::vector<float>(2048 * 3, 0.1f), 16000));
    parts.push_back(
        std::make_unique<MemoryAudioFileReader>(std::vector<float>(2048 * 2 + 1000, 0.4f), 16000));
    ConcatenatedAudioFileReader reader(std::move(parts));
    EXPECT_EQ(reader.lengthFrames(), 2048 * 5 + 1000);
    // A read across the seam joins both files.
    auto across = reader.read(2048 * 3 - 2, 4);
    EXPECT_EQ(across, (std::vector<float>{0.1f, 0.1f, 0.4f, 0.4f}));
    auto pictures = analyzeRecording(reader);
    ASSERT_EQ(pictures.peaks.size(), 5u);
    EXPECT_FLOAT_EQ(pictures.peaks[2], 0.1f);
    EXPECT_FLOAT_EQ(pictures.peaks[3], 0.4f);
    EXPECT_NEAR(pictures.durationSeconds, (2048 * 5 + 1000) / 16000.0, 1e-12);
}

TEST(RecordingAnalysis, APartAtAnotherRateIsPlacedByTime) {
    std::vector<std::unique_ptr<AudioFileReader>> parts;
    parts.push_back(std::make_unique<MemoryAudioFileReader>(std::vector<float>(16000, 0.1f), 16000)); // 1 s
    parts.push_back(std::make_unique<MemoryAudioFileReader>(std::vector<float>(96000, 0.4f), 48000)); // 2 s
    ConcatenatedAudioFileReader reader(std::move(parts));
    EXPECT_DOUBLE_EQ(reader.sampleRate(), 16000);
    EXPECT_EQ(reader.lengthFrames(), 48000); // 3 s at 16 kHz
    EXPECT_EQ(reader.read(47999, 10).size(), 1u);
}

TEST(RecordingAnalysis, OpeningPartsSkipsLaterOnesThatFailButNotTheFirst) {
    auto opener = [](const std::filesystem::path& path) -> OpenedAudioFile {
        if (path.filename() == "bad.m4a")
            return {nullptr, "broken"};
        return {std::make_unique<MemoryAudioFileReader>(std::vector<float>(100, 0.1f), 8000), {}};
    };
    auto later = ConcatenatedAudioFileReader::open({"a.m4a", "bad.m4a", "c.m4a"}, opener);
    ASSERT_TRUE(later.reader);
    EXPECT_EQ(later.reader->lengthFrames(), 200);
    auto first = ConcatenatedAudioFileReader::open({"bad.m4a", "c.m4a"}, opener);
    EXPECT_FALSE(first.reader);
    EXPECT_EQ(first.error, "broken");
}
