#include "platform/linux/RestoreStateFile.h"
#include "platform/RampNightLight.h"
#include "platform/fake/FakeGammaRamps.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/stat.h>

using namespace mirl;

namespace {
unsigned mode(const std::filesystem::path& p) {
    struct stat st {};
    stat(p.c_str(), &st);
    return st.st_mode & 0777;
}
} // namespace

TEST(RestoreStateFile, ExistsOnlyWhileSomethingIsRemembered) {
    test::TempDir dir;
    RecordingConsole console;
    const auto file = dir.path() / "state" / "Mirl" / "restore-state.json";
    RestoreStateFile state(file, console);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(state.remember(restore_parts::backlight, {{"level", 0.8}}));
    EXPECT_TRUE(state.remember(restore_parts::volume, {{"percent", 40}}));
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(mode(file), 0600u);
    EXPECT_EQ(mode(file.parent_path()), 0700u);
    EXPECT_EQ(mode(file.parent_path().parent_path()), 0700u) << "a state folder Mirl creates is private too";
    const auto parts = nlohmann::json::parse(test::readFile(file));
    EXPECT_EQ(parts["volume"]["percent"], 40);
    state.forget(restore_parts::backlight);
    EXPECT_FALSE(nlohmann::json::parse(test::readFile(file)).contains("backlight"));
    state.forget(restore_parts::volume);
    EXPECT_FALSE(std::filesystem::exists(file));
    state.forget(restore_parts::volume);
    EXPECT_TRUE(console.lines().empty());
}

TEST(RestoreStateFile, APartThatCannotBeRecordedIsRefusedAndReportedOnce) {
    test::TempDir dir;
    RecordingConsole console;
    std::ofstream(dir.path() / "state") << "a file where the folder should be";
    RestoreStateFile state(dir.path() / "state" / "Mirl" / "restore-state.json", console);
    std::vector<std::string> reported;
    state.onFailure = [&](std::string_view part, const std::string& why) {
        reported.push_back(std::string(part) + ": " + why);
    };
    EXPECT_FALSE(state.remember(restore_parts::volume, {{"percent", 40}}));
    EXPECT_FALSE(state.remember(restore_parts::volume, {{"percent", 41}}));
    EXPECT_FALSE(state.remember(restore_parts::gamma, {{"crtcs", nlohmann::json::array()}}));
    ASSERT_EQ(console.lines().size(), 2u) << "once per part while the failures last";
    EXPECT_EQ(console.lines()[0].rfind("Mirl: cannot record the volume to put back in ", 0), 0u);
    EXPECT_NE(console.lines()[0].find("; leaving it unchanged"), std::string::npos);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_NE(reported[0].find("is not a folder"), std::string::npos) << reported[0];
}

TEST(RestoreStateFile, UnusableFilesLeftBehindAreRefusedWithoutHangingAndRemoved) {
    struct Row {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
        const char* why;
    };
    const std::vector<Row> rows{
        {"a FIFO", [](const auto& f) { ::mkfifo(f.c_str(), 0600); }, "not a regular file"},
        {"a link to /dev/zero", [](const auto& f) { std::filesystem::create_symlink("/dev/zero", f); },
         "a symbolic link"},
        {"too large",
         [](const auto& f) {
             std::ofstream(f) << "{\"volume\": {\"percent\": 40}, \"x\": \""
                              << std::string(RestoreStateFile::maxFileBytes, 'x') << "\"}";
         },
         "larger than"},
        {"not JSON", [](const auto& f) { std::ofstream(f) << "{half"; }, "not readable"},
        {"not an object", [](const auto& f) { std::ofstream(f) << "[1,2]"; }, "not readable"}};
    for (const Row& row : rows) {
        test::TempDir dir;
        RecordingConsole console;
        const auto file = dir.path() / "restore-state.json";
        row.make(file);
        RestoreStateFile state(file, console);
        EXPECT_TRUE(state.adoptLeftovers().empty()) << row.name;
        ASSERT_EQ(console.lines().size(), 1u) << row.name;
        EXPECT_NE(console.lines()[0].find(row.why), std::string::npos)
            << row.name << ": " << console.lines()[0];
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(file))) << row.name;
    }
}

TEST(RestoreStateFile, ALeftoverOutranksThisRunsPartUntilItIsSettled) {
    test::TempDir dir;
    RecordingConsole console;
    const auto file = dir.path() / "restore-state.json";
    std::ofstream(file) << R"({"volume": {"percent": 33}})";
    RestoreStateFile state(file, console);
    EXPECT_EQ(state.adoptLeftovers()["volume"]["percent"], 33);
    EXPECT_TRUE(state.remember(restore_parts::volume, {{"percent", 50}}));
    EXPECT_EQ(nlohmann::json::parse(test::readFile(file))["volume"]["percent"], 33)
        << "the older record is the user's own volume";
    state.settleLeftover(restore_parts::volume);
    EXPECT_EQ(nlohmann::json::parse(test::readFile(file))["volume"]["percent"], 50);
    state.forget(restore_parts::volume);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(RampNightLight, WarmthFollowsStrengthOnlyWhileEnabled) {
    FakeGammaRamps ramps;
    RampNightLight light(ramps);
    light.setStrength(1.0f, true);
    EXPECT_EQ(ramps.whitePointWrites, 0) << "not enabled yet";
    light.setEnabled(true);
    EXPECT_EQ(ramps.whitePoint, whitePointForKelvin(3400));
    light.setStrength(0.5f, true);
    EXPECT_EQ(ramps.whitePoint, whitePointForKelvin(4950));
    light.restore();
    EXPECT_TRUE(ramps.whitePoint.neutral());
}
