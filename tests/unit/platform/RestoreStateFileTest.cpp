#include "platform/linux/RestoreStateFile.h"
#include "platform/RampNightLight.h"
#include "platform/fake/FakeBacklight.h"
#include "platform/fake/FakeGammaRamps.h"
#include "platform/fake/RecordingSystemVolume.h"
#include "platform/linux/CrashRecovery.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
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
    state.remember(restore_parts::backlight, {{"level", 0.8}});
    state.remember(restore_parts::volume, {{"percent", 40}});
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(mode(file), 0600u);
    EXPECT_EQ(mode(file.parent_path()), 0700u);
    const auto parts = nlohmann::json::parse(test::readFile(file));
    EXPECT_EQ(parts["volume"]["percent"], 40);
    state.forget(restore_parts::backlight);
    EXPECT_FALSE(nlohmann::json::parse(test::readFile(file)).contains("backlight"));
    state.forget(restore_parts::volume);
    EXPECT_FALSE(std::filesystem::exists(file));
    state.forget(restore_parts::volume);
    EXPECT_TRUE(console.lines().empty());
}

TEST(RestoreStateFile, AnUnwritableFolderIsReportedOnce) {
    RecordingConsole console;
    RestoreStateFile state("/proc/mirl-cannot-be-here/restore-state.json", console);
    state.remember(restore_parts::volume, {{"percent", 40}});
    state.remember(restore_parts::volume, {{"percent", 41}});
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("Mirl: cannot keep the restore state in ", 0), 0u);
}

TEST(CrashRecovery, PutsBackWhatIsLeftAndDeletesTheFile) {
    test::TempDir dir;
    RecordingConsole console;
    const auto file = dir.path() / "restore-state.json";
    {
        RestoreStateFile crashed(file, console);
        crashed.remember(restore_parts::backlight, {{"level", 0.75}});
        crashed.remember(restore_parts::volume, {{"percent", 40}});
    }
    FakeBacklight backlight;
    backlight.level = 0.3f;
    RecordingSystemVolume volume;
    volume.volume = 12;
    const auto restored = recoverAfterCrash(file, {&backlight, &volume}, console);
    EXPECT_EQ(restored, (std::vector<std::string>{"backlight", "volume"}));
    EXPECT_FLOAT_EQ(backlight.level, 0.75f);
    EXPECT_EQ(volume.volume, 40);
    EXPECT_EQ(volume.writes.at(0).source, "baseline_restore");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(CrashRecovery, UnreadableOrMalformedStateIsDroppedWithALine) {
    struct Row {
        const char* name;
        const char* text;
        std::size_t lines;
    };
    for (const Row& row : {Row{"not json", "{half", 1}, Row{"not an object", "[1,2]", 1},
                           Row{"malformed part", R"({"volume": {"percent": "loud"}})", 1},
                           Row{"unknown part", R"({"toaster": {}})", 1}}) {
        test::TempDir dir;
        RecordingConsole console;
        const auto file = dir.path() / "restore-state.json";
        std::ofstream(file) << row.text;
        RecordingSystemVolume volume;
        EXPECT_TRUE(recoverAfterCrash(file, {nullptr, &volume}, console).empty()) << row.name;
        EXPECT_TRUE(volume.writes.empty()) << row.name;
        EXPECT_EQ(console.lines().size(), row.lines) << row.name;
        EXPECT_FALSE(std::filesystem::exists(file)) << row.name;
    }
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
