#include "journal/recording/RecordingParts.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace mirl;
namespace fs = std::filesystem;

TEST(RecordingPartsRuleTest, PartsLieBesideTheRecordingWithTheirNumber) {
    struct Case {
        const char* recording;
        int part;
        const char* expected;
    };
    for (const auto& c :
         {Case{"/r/audio-2026-12-05-2253.m4a", 1, "/r/audio-2026-12-05-2253.m4a"},
          Case{"/r/audio-2026-12-05-2253.m4a", 2, "/r/audio-2026-12-05-2253-part2.m4a"},
          Case{"/r/audio-2026-12-05-2253.m4a", 3, "/r/audio-2026-12-05-2253-part3.m4a"},
          Case{"/r/audio-2026-12-05-2253-2.m4a", 10, "/r/audio-2026-12-05-2253-2-part10.m4a"},
          Case{"/r/noextension", 2, "/r/noextension-part2"}, Case{"/r.d/a.b.m4a", 2, "/r.d/a.b-part2.m4a"}}) {
        SCOPED_TRACE(std::string(c.recording) + " part " + std::to_string(c.part));
        const fs::path path = recordingPartPath(c.recording, c.part);
        EXPECT_EQ(path, fs::path(c.expected));
        // What the rule writes, it reads back.
        EXPECT_EQ(recordingPartNumber(c.recording, path), c.part);
    }
}

TEST(RecordingPartsRuleTest, OnlyNamesTheRuleWritesAreParts) {
    const fs::path recording = "/r/audio-2026-12-05-2253.m4a";
    struct Case {
        const char* file;
        std::optional<int> number;
    };
    for (const auto& c : {Case{"/r/audio-2026-12-05-2253-part7.m4a", 7},
                          Case{"/r/audio-2026-12-05-2253-part1.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part0.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part02.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part2x.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part+2.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part99999999999.m4a", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-part2.wav", std::nullopt},
                          Case{"/r/audio-2026-12-05-2253-2.m4a", std::nullopt}, // another session
                          Case{"/r/audio-2026-12-05-2253-2-part2.m4a", std::nullopt},
                          Case{"/elsewhere/audio-2026-12-05-2253-part2.m4a", std::nullopt}}) {
        EXPECT_EQ(recordingPartNumber(recording, c.file), c.number) << c.file;
    }
}

TEST(RecordingPartsRuleTest, ListsTheFilesThatExistInTheOrderOfTheirNumbers) {
    test::TempDir tmp;
    const fs::path recording = tmp.path() / "audio-2026-12-05-2253.m4a";
    const fs::path part2 = recordingPartPath(recording, 2);
    const fs::path part10 = recordingPartPath(recording, 10);
    for (const fs::path& file :
         {part10, part2, tmp.path() / "audio-2026-12-05-2253-part02.m4a",
          tmp.path() / "audio-2026-12-05-2253-part1.m4a", tmp.path() / "audio-2026-12-05-2253-2-part3.m4a"})
        std::ofstream(file) << "x";
    fs::create_directory(recordingPartPath(recording, 3)); // not a file
    // A later part is found without the first (10 after 2, not as text).
    EXPECT_EQ(recordingParts(recording), (std::vector<fs::path>{part2, part10}));
    std::ofstream(recording) << "x";
    EXPECT_EQ(recordingParts(recording), (std::vector<fs::path>{recording, part2, part10}));
}
