// testenv:
// The AAC writer: what it writes decodes back; a writer killed without closing leaves a
// playable file holding all but the last second; files are private.

#include "platform/AudioFileReader.h"
#include "platform/AudioFileWriter.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <numbers>
#include <random>

using namespace mirl;
using namespace mirl::test;

namespace {

std::vector<float> tone(int rate, int channels, double seconds, double hz, std::int64_t offset = 0) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(static_cast<std::int64_t>(i) + offset) / rate;
        for (int c = 0; c < channels; ++c) {
            out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz * (c + 1) * t));
        }
    }
    return out;
}

TEST(AacWriter, WrittenAudioDecodesBackPrivately) {
    TempDir dir;
    const auto path = dir.path() / "out.m4a";
    {
        auto created = createAacFile(path, 44100, 1);
        ASSERT_TRUE(created.writer) << created.error;
        // Odd block sizes, so that the writer's own re-blocking is exercised.
        const auto audio = tone(44100, 1, 3.0, 440);
        std::size_t at = 0;
        for (std::size_t n = 777; at < audio.size(); n = n * 3 % 5000 + 1) {
            const std::size_t take = std::min(n, audio.size() - at);
            ASSERT_TRUE(created.writer->write(audio.data() + at, take));
            at += take;
        }
        EXPECT_EQ(created.writer->framesWritten(), 3 * 44100);
        EXPECT_TRUE(created.writer->close()) << created.writer->error();
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    auto opened = openAudioFile(path);
    ASSERT_TRUE(opened.reader) << opened.error;
    EXPECT_EQ(opened.reader->sampleRate(), 44100);
    EXPECT_EQ(opened.reader->channels(), 1);
    EXPECT_EQ(opened.reader->lengthFrames(), 3 * 44100) << "the length leaves out priming and padding";
    const auto decoded = readAllSequentially(path);
    EXPECT_NEAR(static_cast<double>(decoded.size()), 3.0 * 44100, 1024);
    // Channel 0 is the 440 Hz tone at amplitude 0.5: compare it with what went in.
    const auto expected = tone(44100, 1, 3.0, 440);
    double error = 0;
    for (std::size_t i = 2048; i + 2048 < decoded.size(); ++i) {
        error += std::pow(static_cast<double>(decoded[i] - expected[i]), 2);
    }
    error = std::sqrt(error / static_cast<double>(decoded.size() - 4096));
    EXPECT_LT(error, 0.02) << "decoded audio differs from the input";
    EXPECT_NEAR(rms(decoded, 2048, decoded.size() - 2048), 0.5 / std::sqrt(2.0), 0.02);
}

TEST(AacWriter, ContextAroundALoopIsHeardButNotKept) {
    // A loop of whole 200 Hz cycles, written with its own end before it and its start after it:
    // the file holds exactly the loop, and its first and last milliseconds decode as cleanly as
    // its middle (without the context the codec codes them against silence, with an encoder that
    // has not settled yet).
    const int rate = 48000;
    const auto loop = tone(rate, 1, 1.0, 200);
    const std::size_t context = rate / 2; // the encoder settles over its first dozen blocks
    std::vector<float> heard(loop.end() - context, loop.end());
    heard.insert(heard.end(), loop.begin(), loop.end());
    heard.insert(heard.end(), loop.begin(), loop.begin() + context);

    TempDir dir;
    const auto path = dir.path() / "loop.m4a";
    {
        auto created =
            createAacFile(path, rate, 1, 128000,
                          {static_cast<std::int64_t>(context), static_cast<std::int64_t>(loop.size())});
        ASSERT_TRUE(created.writer) << created.error;
        ASSERT_TRUE(created.writer->write(heard.data(), heard.size()));
        ASSERT_TRUE(created.writer->close()) << created.writer->error();
    }
    auto opened = openAudioFile(path);
    ASSERT_TRUE(opened.reader) << opened.error;
    EXPECT_EQ(opened.reader->lengthFrames(), static_cast<std::int64_t>(loop.size()));
    const auto decoded = readAllSequentially(path); // players stop at the length
    ASSERT_GE(decoded.size(), loop.size());
    auto error = [&](std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t i = from; i < to; ++i)
            sum += std::pow(static_cast<double>(decoded[i] - loop[i]), 2);
        return std::sqrt(sum / static_cast<double>(to - from));
    };
    const double middle = error(loop.size() / 2 - 1024, loop.size() / 2 + 1024);
    EXPECT_LT(error(0, 256), 3 * middle) << "coding noise at the start";
    EXPECT_LT(error(loop.size() - 256, loop.size()), 3 * middle) << "coding noise at the end";

    EXPECT_FALSE(createAacFile(dir.path() / "bad.m4a", rate, 1, 128000, {-1, std::nullopt}).writer);
}

TEST(AacWriter, StereoKeepsItsChannels) {
    TempDir dir;
    const auto path = dir.path() / "stereo.m4a";
    {
        auto created = createAacFile(path, 48000, 2);
        ASSERT_TRUE(created.writer) << created.error;
        const auto audio = tone(48000, 2, 2.0, 440);
        ASSERT_TRUE(created.writer->write(audio.data(), audio.size() / 2));
    }
    auto opened = openAudioFile(path);
    ASSERT_TRUE(opened.reader) << opened.error;
    EXPECT_EQ(opened.reader->channels(), 2);
    const auto decoded = readAllSequentially(path);
    EXPECT_NEAR(static_cast<double>(decoded.size()), 2.0 * 48000, 1024);
    EXPECT_NEAR(rms(decoded, 4096, decoded.size() - 4096), 0.5 / std::sqrt(2.0), 0.05);
}

TEST(AacWriter, ReadingAtRandomPositionsMatchesTheSequentialDecode) {
    TempDir dir;
    const auto path = dir.path() / "noise.m4a";
    {
        auto created = createAacFile(path, 48000, 1);
        ASSERT_TRUE(created.writer) << created.error;
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, 0.2f);
        std::vector<float> audio(48000 * 4);
        for (auto& s : audio) {
            s = noise(random);
        }
        ASSERT_TRUE(created.writer->write(audio.data(), audio.size()));
    }
    const auto all = readAllSequentially(path);
    ASSERT_GT(all.size(), 48000u * 3);
    auto opened = openAudioFile(path);
    ASSERT_TRUE(opened.reader) << opened.error;
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int64_t> anywhere(0, static_cast<std::int64_t>(all.size()) - 2048);
    std::vector<std::int64_t> positions;
    for (int i = 0; i < 30; ++i) {
        positions.push_back(anywhere(random));
    }
    positions.insert(positions.end(), {0, 300, 1500, 0}); // back to the start, past the priming
    for (const std::int64_t position : positions) {
        const auto block = opened.reader->read(position, 2048);
        ASSERT_EQ(block.size(), 2048u);
        for (std::size_t k = 0; k < block.size(); ++k) {
            ASSERT_EQ(block[k], all[static_cast<std::size_t>(position) + k])
                << "at " << position << " + " << k;
        }
    }
}

TEST(AacWriter, KilledWriterLeavesAllButTheLastSecond) {
    // Ten seconds, and seventy at a low rate: past the first minute, where the writer leaves room
    // for the seek index that only a clean close fills in.
    struct Case {
        int rate;
        int seconds;
    };
    for (const Case c : {Case{48000, 10}, Case{8000, 70}}) {
        SCOPED_TRACE(std::to_string(c.seconds) + " s at " + std::to_string(c.rate) + " Hz");
        TempDir dir;
        const auto path = dir.path() / "killed.m4a";
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The audio in 100 ms pieces, as a capture thread hands them over, then the process
            // dies without closing anything.
            auto created = createAacFile(path, c.rate, 1);
            if (!created.writer) {
                ::_exit(3);
            }
            const int piece = c.rate / 10;
            for (int i = 0; i < c.seconds * 10; ++i) {
                const auto audio = tone(c.rate, 1, 0.1, 330, static_cast<std::int64_t>(i) * piece);
                if (!created.writer->write(audio.data(), audio.size())) {
                    ::_exit(4);
                }
            }
            ::raise(SIGKILL);
            ::_exit(5);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "writer exited with " << status;

        const auto ours = readAllSequentially(path);
        RecordProperty("decoded_seconds", std::to_string(static_cast<double>(ours.size()) / c.rate));
        EXPECT_GE(static_cast<double>(ours.size()) / c.rate, c.seconds - 1.0);
        const auto cli = decodeChannel0WithCli(path);
        EXPECT_GE(static_cast<double>(cli.size()) / c.rate, c.seconds - 1.0)
            << "the ffmpeg tool reads less of the file";
        const auto rate = static_cast<std::size_t>(c.rate);
        EXPECT_NEAR(rms(ours, rate, rate * static_cast<std::size_t>(c.seconds - 1)), 0.5 / std::sqrt(2.0),
                    0.02);
    }
}

TEST(AacWriter, UnwritablePlaceGivesAnError) {
    auto created = createAacFile("/nonexistent-folder/x.m4a", 48000, 1);
    EXPECT_FALSE(created.writer);
    EXPECT_NE(created.error.find("cannot create"), std::string::npos) << created.error;
}

TEST(AacWriter, ALinkOrAFifoAtTheRecordingsPlaceIsNotWrittenThrough) {
    TempDir dir;
    const auto victim = dir.path() / "victim";
    std::ofstream(victim) << "precious";
    std::filesystem::create_symlink(victim, dir.path() / "audio-link.m4a");
    ASSERT_EQ(::mkfifo((dir.path() / "audio-fifo.m4a").c_str(), 0600), 0);
    for (const char* name : {"audio-link.m4a", "audio-fifo.m4a"}) {
        auto created = createAacFile(dir.path() / name, 48000, 1); // a FIFO used to block here
        EXPECT_FALSE(created.writer) << name;
        EXPECT_NE(created.error.find("cannot create"), std::string::npos) << created.error;
    }
    EXPECT_EQ(readFile(victim), "precious");
}

} // namespace
