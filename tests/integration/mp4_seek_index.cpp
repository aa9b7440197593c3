// testenv:
// The seek index of a recording: room for it after the first minute, filled at a clean close,
// invisible to what is read; a file without the room or cut short is left as it is.

#include "platform/AudioFileReader.h"
#include "platform/AudioFileWriter.h"
#include "platform/linux/Mp4SeekIndex.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

using namespace mirl;
using namespace mirl::test;
namespace fs = std::filesystem;

namespace {

constexpr int kRate = 8000;

std::vector<std::uint8_t> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 |
           b[at + 3];
}

struct TopBox {
    std::size_t offset;
    std::string type;
    std::size_t size;
};

std::vector<TopBox> topLevelBoxes(const std::vector<std::uint8_t>& file) {
    std::vector<TopBox> boxes;
    for (std::size_t at = 0; at + 8 <= file.size();) {
        const std::size_t size = u32(file, at);
        boxes.push_back({at,
                         std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                     file.begin() + static_cast<std::ptrdiff_t>(at + 8)),
                         size});
        if (size < 8)
            break;
        at += size;
    }
    return boxes;
}

std::size_t count(const std::vector<TopBox>& boxes, const std::string& type) {
    return static_cast<std::size_t>(
        std::count_if(boxes.begin(), boxes.end(), [&](const TopBox& box) { return box.type == type; }));
}

// Breathing noise, handed over in 100 ms pieces as the recorder does.
void record(const fs::path& path, int seconds) {
    auto created = createAacFile(path, kRate, 1, 64000);
    ASSERT_TRUE(created.writer) << created.error;
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> piece(kRate / 10);
    for (int i = 0; i < seconds * 10; ++i) {
        const float level = static_cast<float>(0.1 + 0.08 * std::sin(2 * std::numbers::pi * i / 46.0));
        for (auto& s : piece)
            s = level * noise(random);
        ASSERT_TRUE(created.writer->write(piece.data(), piece.size()));
    }
    ASSERT_TRUE(created.writer->close()) << created.writer->error();
}

// The same file as it was before the close made the index visible: the index inside the free box.
std::vector<std::uint8_t> withIndexHidden(std::vector<std::uint8_t> file, std::size_t freeBox) {
    const auto size = static_cast<std::uint32_t>(mp4index::kReserveBytes);
    for (int i = 0; i < 4; ++i)
        file[freeBox + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    return file;
}

class Mp4SeekIndexTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        record(longFile(), 75);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path longFile() { return dir_->path() / "long.m4a"; }
    static TempDir* dir_;
};
TempDir* Mp4SeekIndexTest::dir_ = nullptr;

TEST_F(Mp4SeekIndexTest, ALongRecordingIndexesEveryFragmentAfterItsFirstMinute) {
    const auto file = bytesOf(longFile());
    const auto boxes = topLevelBoxes(file);
    std::size_t at = 0;
    while (at < boxes.size() && boxes[at].type != "free")
        ++at;
    ASSERT_LT(at + 2, boxes.size()) << "no room for the index";
    EXPECT_EQ(boxes[at].size + boxes[at + 1].size, static_cast<std::size_t>(mp4index::kReserveBytes))
        << "the index fills the end of the room";
    ASSERT_EQ(boxes[at + 1].type, "sidx");
    EXPECT_EQ(boxes[at + 2].type, "moof") << "the index directly precedes the fragments it points at";
    EXPECT_EQ(boxes.back().type, "mfra");
    const std::vector<TopBox> before(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(at));
    const std::vector<TopBox> after(boxes.begin() + static_cast<std::ptrdiff_t>(at) + 2, boxes.end());
    EXPECT_NEAR(static_cast<double>(count(before, "moof")), 60, 2) << "room after the first minute";

    // Its references: one per later fragment, each as long as the fragment with its data.
    const std::size_t sidx = boxes[at + 1].offset;
    const std::size_t references = u32(file, sidx + 36) & 0xffff;
    ASSERT_EQ(references, count(after, "moof"));
    std::size_t fragment = sidx + boxes[at + 1].size;
    std::uint64_t duration = 0;
    for (std::size_t i = 0; i < references; ++i) {
        const std::size_t size = u32(file, sidx + 40 + 12 * i);
        ASSERT_EQ(std::string(file.begin() + static_cast<std::ptrdiff_t>(fragment + 4),
                              file.begin() + static_cast<std::ptrdiff_t>(fragment + 8)),
                  "moof")
            << "reference " << i;
        fragment += size;
        duration += u32(file, sidx + 44 + 12 * i);
    }
    EXPECT_EQ(fragment, boxes.back().offset) << "the references end at the random access box";
    // The index starts at the decode time of its first fragment (its "tfdt", version 1).
    const auto first = file.begin() + static_cast<std::ptrdiff_t>(sidx + boxes[at + 1].size);
    const std::string tfdt = "tfdt";
    const auto found = std::search(first, first + 300, tfdt.begin(), tfdt.end());
    ASSERT_NE(found, first + 300);
    const auto decodeTime = static_cast<std::size_t>(found - file.begin()) + 8;
    EXPECT_EQ(u32(file, sidx + 20), u32(file, decodeTime));
    EXPECT_EQ(u32(file, sidx + 24), u32(file, decodeTime + 4));
    EXPECT_NEAR(static_cast<double>(duration) / kRate, 15, 1.5);
}

TEST_F(Mp4SeekIndexTest, TheIndexChangesNothingThatIsRead) {
    const auto file = bytesOf(longFile());
    const auto boxes = topLevelBoxes(file);
    const auto room =
        std::find_if(boxes.begin(), boxes.end(), [](const TopBox& b) { return b.type == "free"; });
    ASSERT_NE(room, boxes.end());
    const fs::path hidden = dir_->path() / "hidden.m4a";
    writeBytes(hidden, withIndexHidden(file, room->offset));
    ASSERT_EQ(count(topLevelBoxes(bytesOf(hidden)), "sidx"), 0u);

    auto indexed = openAudioFile(longFile());
    auto plain = openAudioFile(hidden);
    ASSERT_TRUE(indexed.reader) << indexed.error;
    ASSERT_TRUE(plain.reader) << plain.error;
    EXPECT_EQ(indexed.reader->lengthFrames(), 75 * kRate);
    EXPECT_EQ(plain.reader->lengthFrames(), indexed.reader->lengthFrames());
    const auto all = readAllSequentially(longFile());
    ASSERT_EQ(all, readAllSequentially(hidden));
    ASSERT_NEAR(static_cast<double>(all.size()), 75.0 * kRate, 1024); // decoders run on into the padding

    // Positions everywhere, the first minute and the indexed part, forward and back.
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int64_t> anywhere(0, static_cast<std::int64_t>(all.size()) - 2048);
    std::vector<std::int64_t> positions{70 * kRate, 61 * kRate, 59 * kRate - 100, 0, 74 * kRate};
    for (int i = 0; i < 40; ++i)
        positions.push_back(anywhere(random));
    for (const std::int64_t position : positions) {
        const auto a = indexed.reader->read(position, 2048);
        const auto b = plain.reader->read(position, 2048);
        ASSERT_EQ(a.size(), 2048u) << "at " << position;
        ASSERT_EQ(a, b) << "at " << position;
        ASSERT_TRUE(std::equal(a.begin(), a.end(), all.begin() + position)) << "at " << position;
    }

    const auto cli = decodeChannel0WithCli(longFile());
    EXPECT_NEAR(static_cast<double>(cli.size()), static_cast<double>(all.size()), 1024)
        << "the ffmpeg tool reads the indexed file to its end";
}

TEST_F(Mp4SeekIndexTest, AFileWithoutRoomOrCutShortIsLeftAlone) {
    // A recording of less than a minute gets no room (a wake sound, a short test).
    const fs::path shortFile = dir_->path() / "short.m4a";
    record(shortFile, 20);
    const auto shortBytes = bytesOf(shortFile);
    EXPECT_EQ(count(topLevelBoxes(shortBytes), "free"), 0u);
    EXPECT_EQ(count(topLevelBoxes(shortBytes), "sidx"), 0u);
    EXPECT_NE(mp4index::writeSeekIndex(shortFile, 0, kRate), std::nullopt);
    EXPECT_EQ(bytesOf(shortFile), shortBytes);

    // A recording killed in the middle of a fragment: its room stays free, whatever is asked.
    const auto file = bytesOf(longFile());
    const auto boxes = topLevelBoxes(file);
    const auto room =
        std::find_if(boxes.begin(), boxes.end(), [](const TopBox& b) { return b.type == "free"; });
    ASSERT_NE(room, boxes.end());
    auto killed = withIndexHidden(file, room->offset);
    const auto lastMoof =
        std::find_if(boxes.rbegin(), boxes.rend(), [](const TopBox& b) { return b.type == "moof"; });
    killed.resize(lastMoof->offset + lastMoof->size + 100); // the mdat header and a little of its data
    const fs::path cut = dir_->path() / "cut.m4a";
    writeBytes(cut, killed);
    const auto problem = mp4index::writeSeekIndex(cut, static_cast<std::int64_t>(room->offset), kRate);
    ASSERT_NE(problem, std::nullopt);
    EXPECT_EQ(*problem, "a truncated box at the end");
    EXPECT_EQ(bytesOf(cut), killed);
    EXPECT_GE(static_cast<double>(readAllSequentially(cut).size()) / kRate, 73.0);
}

} // namespace
