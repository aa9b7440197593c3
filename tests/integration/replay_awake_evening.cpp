// testenv:
// timeout: 300
// mirl-replay end to end on a synthesised awake evening (speech, typing and music for eight
// minutes, nobody asleep): the phase never reaches asleep, and the activity is heard.

#include "tests/support/AudioFixtures.h"
#include "tests/support/TestPaths.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace mirl;
using namespace mirl::test;

TEST(AwakeEvening, NeverReachesAsleep) {
    TempDir dir;
    const auto wav = dir.path() / "awake-evening.wav";
    const std::string generator = std::string(MIRL_SOURCE_DIR) + "/tests/data/make_falling_asleep.py";
    ASSERT_EQ(shell("/usr/bin/python3 '" + generator + "' '" + wav.string() +
                    "' --awake-evening --minutes 8 --seed 11"),
              0)
        << "the generator failed: it needs /usr/bin/python3 with numpy (python3-numpy) and espeak-ng";
    const auto out = dir.path() / "data";
    ASSERT_EQ(shell("'" + std::string(MIRL_BINARY_DIR) + "/bin/mirl-replay' '" + wav.string() + "' --out '" +
                    out.string() + "' > /dev/null"),
              0);
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(out / "sessions"))
        logs.push_back(entry.path());
    ASSERT_EQ(logs.size(), 1u);
    std::istringstream lines(readFile(logs[0]));
    std::string line;
    int counted = 0, countedSleep = 0;
    while (std::getline(lines, line)) {
        const auto record = nlohmann::json::parse(line);
        if (record["event"] == "phase_transition") {
            EXPECT_NE(record["to"], "asleep") << line;
            EXPECT_NE(record["to"], "deep_asleep") << line;
        }
        if (record["event"] == "classification" && record["counted"] == true) {
            ++counted;
            const std::string label = record["label"];
            countedSleep += label == "silence" || label == "breathing" || label == "snoring";
        }
    }
    EXPECT_GT(counted, 100) << "the evening's sounds are heard with confidence";
    EXPECT_LT(countedSleep, counted / 3) << "few confident sleep sounds in an awake evening";
}
