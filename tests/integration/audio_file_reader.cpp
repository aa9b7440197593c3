// testenv:
// The FFmpeg reader against files made by sox and the ffmpeg tool: blocks read at random
// positions equal a sequential decode sample for sample, in every container we meet.

#include "platform/AudioFileReader.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <random>

using namespace mirl;
using namespace mirl::test;

namespace {

struct Format;
void PrintTo(const Format& f, std::ostream* os);

struct Format {
    const char* name;
    const char* extension;
    const char* ffmpegArgs; // how the WAV source is converted; empty = use it as it is
    int rate;
    bool exactAgainstCli; // the ffmpeg tool decodes to the very same samples
};

void PrintTo(const Format& f, std::ostream* os) {
    *os << f.name;
}

class AudioFileReaderTest : public testing::TestWithParam<Format> {
protected:
    // (AAC without noise substitution: the decoder fills PNS bands from a running random
    // generator, so such bands decode differently after a seek. Our writer turns it off too.)
    // 6 s of stereo: noise on the left, a tone on the right, so that channel mix-ups show.
    std::filesystem::path makeFile() {
        const Format& f = GetParam();
        const auto wav = dir_.path() / "source.wav";
        const std::string rate = std::to_string(f.rate);
        if (shell("sox -n -r " + rate + " -c 2 -b 16 '" + wav.string() +
                  "' synth 6 whitenoise sine 440 gain -6") != 0) {
            ADD_FAILURE() << "sox could not make the source file";
        }
        if (std::string(f.ffmpegArgs).empty()) {
            return wav;
        }
        const auto out = dir_.path() / (std::string("file.") + f.extension);
        if (shell("ffmpeg -nostdin -loglevel error -y -i '" + wav.string() + "' " + f.ffmpegArgs + " '" +
                  out.string() + "'") != 0) {
            ADD_FAILURE() << "ffmpeg could not make the " << f.name << " file";
        }
        return out;
    }
    TempDir dir_;
};

TEST_P(AudioFileReaderTest, RandomBlocksMatchTheSequentialDecode) {
    const auto path = makeFile();
    const std::vector<float> all = readAllSequentially(path);
    ASSERT_GT(all.size(), static_cast<std::size_t>(GetParam().rate) * 5) << "sequential decode too short";

    auto opened = openAudioFile(path);
    ASSERT_TRUE(opened.reader) << opened.error;
    AudioFileReader& reader = *opened.reader;
    EXPECT_EQ(reader.sampleRate(), GetParam().rate);
    EXPECT_EQ(reader.channels(), 2);
    EXPECT_NEAR(static_cast<double>(reader.lengthFrames()), static_cast<double>(all.size()), 2048.0);

    std::mt19937 random(4);
    std::uniform_int_distribution<std::int64_t> anywhere(0, static_cast<std::int64_t>(all.size()) - 1);
    std::vector<std::int64_t> positions{0,    1,    1023, 1024,
                                        1025, 4096, 4097, static_cast<std::int64_t>(all.size()) - 5};
    for (int i = 0; i < 40; ++i) {
        positions.push_back(anywhere(random));
    }
    // Back to the very start and just after it, where priming and the first frame meet.
    for (std::int64_t early : {0, 700, 2000, 0}) {
        positions.push_back(early);
    }
    // Jumps backwards and forwards, then a run of sequential reads from the last position.
    for (std::int64_t position : positions) {
        const auto block = reader.read(position, 2048);
        const auto expected = std::min<std::size_t>(2048, all.size() - static_cast<std::size_t>(position));
        ASSERT_EQ(block.size(), expected) << "at " << position;
        for (std::size_t i = 0; i < block.size(); ++i) {
            ASSERT_EQ(block[i], all[static_cast<std::size_t>(position) + i])
                << "at " << position << " + " << i;
        }
    }
    std::int64_t position = positions[10]; // a random one
    for (int i = 0; i < 30 && position < static_cast<std::int64_t>(all.size()); ++i) {
        const auto block = reader.read(position, 2048);
        ASSERT_FALSE(block.empty());
        for (std::size_t k = 0; k < block.size(); ++k) {
            ASSERT_EQ(block[k], all[static_cast<std::size_t>(position) + k])
                << "at " << position << " + " << k;
        }
        position += static_cast<std::int64_t>(block.size());
    }
    EXPECT_TRUE(reader.read(static_cast<std::int64_t>(all.size()), 2048).empty()) << "a read at the end";
    EXPECT_TRUE(reader.read(static_cast<std::int64_t>(all.size()) + 50000, 2048).empty())
        << "a read past the end";
    EXPECT_TRUE(reader.read(-5, 2048).empty()) << "a negative position";
}

TEST_P(AudioFileReaderTest, SequentialDecodeIsChannelZeroAsTheFfmpegToolDecodesIt) {
    const auto path = makeFile();
    const std::vector<float> ours = readAllSequentially(path);
    const std::vector<float> cli = decodeChannel0WithCli(path);
    ASSERT_FALSE(cli.empty()) << "the ffmpeg tool could not decode the file";
    if (GetParam().exactAgainstCli) {
        ASSERT_EQ(ours.size(), cli.size());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            ASSERT_EQ(ours[i], cli[i]) << "sample " << i;
        }
    } else {
        EXPECT_NEAR(static_cast<double>(ours.size()), static_cast<double>(cli.size()), 2048.0);
        // Same samples from the start (priming removed the same way).
        double diff = 0;
        const std::size_t n = std::min(ours.size(), cli.size());
        for (std::size_t i = 0; i < n; ++i) {
            diff = std::max(diff, static_cast<double>(std::abs(ours[i] - cli[i])));
        }
        EXPECT_LT(diff, 1e-4);
    }
    // The noise channel, not the tone: a 440 Hz sine at -3 dB has an RMS of 0.5; noise is louder.
    EXPECT_GT(rms(ours, 0, ours.size()), 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AudioFileReaderTest,
    testing::Values(Format{"Wav", "wav", "", 44100, true}, Format{"Flac", "flac", "-c:a flac", 48000, true},
                    Format{"AacM4a", "m4a", "-c:a aac -aac_pns 0 -b:a 128k", 44100, false},
                    Format{"VorbisOgg", "ogg", "-c:a libvorbis -q:a 4", 44100, false},
                    Format{"Mp3", "mp3", "-c:a libmp3lame -b:a 128k", 44100, false}),
    [](const testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

TEST(AudioFileReaderErrors, MissingAndCorruptFilesGiveAnError) {
    TempDir dir;
    auto missing = openAudioFile(dir.path() / "nothing.m4a");
    EXPECT_FALSE(missing.reader);
    EXPECT_FALSE(missing.error.empty());

    const auto junk = dir.path() / "junk.m4a";
    ASSERT_EQ(shell("head -c 20000 /dev/urandom > '" + junk.string() + "'"), 0);
    auto corrupt = openAudioFile(junk);
    EXPECT_FALSE(corrupt.reader);
    EXPECT_FALSE(corrupt.error.empty());
}

} // namespace
