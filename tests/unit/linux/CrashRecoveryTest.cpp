// The next launch after a crash: parts put back, dropped when they no longer apply or hold
// values Mirl never records, and kept for later when their facility is away.

#include "platform/linux/CrashRecovery.h"
#include "platform/fake/FakeBacklight.h"
#include "platform/fake/RecordingSystemVolume.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace mirl;
namespace fs = std::filesystem;

namespace {

struct Launch {
    explicit Launch(const std::string& leftover) {
        if (!leftover.empty())
            std::ofstream(file) << leftover;
    }
    nlohmann::json onDisk() const { return nlohmann::json::parse(test::readFile(file)); }

    test::TempDir dir;
    fs::path file = dir.path() / "restore-state.json";
    RecordingConsole console;
    FakeBacklight backlight;
    RecordingSystemVolume volume;
    RestoreStateFile state{file, console};
};

} // namespace

TEST(CrashRecovery, PutsBackWhatIsLeftAndDeletesTheFile) {
    Launch launch(R"({"backlight": {"displays": [{"id": "fake:panel", "level": 0.75},
                                                  {"id": "ddc:monitor", "level": 1.0}]},
                      "volume": {"percent": 40}})");
    launch.backlight.level = 0.3f;
    launch.backlight.others = {{"ddc:monitor", 0.3f}};
    launch.volume.volume = 12;
    CrashRecovery recovery(launch.state, {&launch.backlight, &launch.volume}, launch.console);
    EXPECT_EQ(recovery.recover(), (std::vector<std::string>{"backlight", "volume"}));
    EXPECT_FLOAT_EQ(launch.backlight.level, 0.75f);
    EXPECT_FLOAT_EQ(*launch.backlight.levelOf("ddc:monitor"), 1.0f) << "each display its own level";
    EXPECT_EQ(launch.volume.volume, 40);
    EXPECT_EQ(launch.volume.writes.at(0).source, "baseline_restore");
    EXPECT_FALSE(fs::exists(launch.file));
    EXPECT_EQ(launch.console.lines(),
              (std::vector<std::string>{"Mirl: put back the backlight a previous run left changed",
                                        "Mirl: put back the volume a previous run left changed"}));
}

TEST(CrashRecovery, ALevelKeptBeforeDisplaysWereToldApartGoesToAll) {
    Launch launch(R"({"backlight": {"level": 0.75}})");
    launch.backlight.others = {{"ddc:monitor", 0.3f}};
    CrashRecovery recovery(launch.state, {&launch.backlight, &launch.volume}, launch.console);
    EXPECT_EQ(recovery.recover(), std::vector<std::string>{"backlight"});
    EXPECT_FLOAT_EQ(*launch.backlight.levelOf("ddc:monitor"), 0.75f);
}

TEST(CrashRecovery, ValuesMirlNeverRecordsAreNotApplied) {
    for (const char* leftover :
         {R"({"volume": {"percent": -5}})", R"({"volume": {"percent": 250}})",
          R"({"volume": {"percent": 33.5}})", R"({"volume": {"percent": "loud"}})", R"({"volume": 40})",
          R"({"backlight": {"level": 2.5}})", R"({"backlight": {"level": -0.1}})",
          R"({"backlight": {"displays": [{"id": "fake:panel", "level": null}]}})",
          R"({"backlight": {"displays": [{"id": "", "level": 0.5}]}})", R"({"backlight": {"displays": []}})",
          R"({"toaster": {}})", R"({"gamma": {"display": ":0", "crtcs": "garbage"}})",
          R"({"night_light": {"backend": "gnome", "values": 7}})"}) {
        Launch launch(leftover);
        CrashRecovery recovery(launch.state, {&launch.backlight, &launch.volume}, launch.console);
        EXPECT_TRUE(recovery.recover().empty()) << leftover;
        EXPECT_TRUE(launch.volume.writes.empty()) << leftover;
        EXPECT_TRUE(launch.backlight.writes.empty() && launch.backlight.levelWrites.empty()) << leftover;
        ASSERT_EQ(launch.console.lines().size(), 1u) << leftover;
        EXPECT_NE(launch.console.lines()[0].find("no longer applies"), std::string::npos) << leftover;
        EXPECT_FALSE(fs::exists(launch.file)) << leftover;
    }
}

TEST(CrashRecovery, AVolumeKeptWhileTheSoundServerIsAwayGoesBackWhenItReturns) {
    Launch launch(R"({"volume": {"percent": 33}})");
    launch.volume.serverUp = false;
    CrashRecovery recovery(launch.state, {&launch.backlight, &launch.volume}, launch.console);
    EXPECT_TRUE(recovery.recover().empty());
    EXPECT_TRUE(recovery.pending(restore_parts::volume));
    EXPECT_EQ(launch.onDisk()["volume"]["percent"], 33) << "kept for later, not thrown away";
    EXPECT_EQ(launch.console.lines().back(),
              "Mirl: cannot put back the volume a previous run left changed yet; kept for later");

    // This run's own session records its (stand-in) volume meanwhile: the file keeps the user's.
    EXPECT_TRUE(launch.state.remember(restore_parts::volume, {{"percent", 50}}));
    EXPECT_EQ(launch.onDisk()["volume"]["percent"], 33);

    launch.volume.setServerUp(true);
    EXPECT_EQ(launch.volume.volume, 33);
    EXPECT_FALSE(recovery.pending(restore_parts::volume));
    EXPECT_EQ(launch.console.lines().back(), "Mirl: put back the volume a previous run left changed");
    EXPECT_EQ(launch.onDisk()["volume"]["percent"], 50) << "now this run's own part";
}

TEST(CrashRecovery, ADisplayThatRefusesStaysForTheNextLaunch) {
    Launch launch(R"({"backlight": {"displays": [{"id": "fake:panel", "level": 0.75},
                                                  {"id": "ddc:unplugged", "level": 0.9}]}})");
    CrashRecovery recovery(launch.state, {&launch.backlight, &launch.volume}, launch.console);
    EXPECT_TRUE(recovery.recover().empty());
    EXPECT_FLOAT_EQ(launch.backlight.level, 0.75f);
    EXPECT_EQ(launch.onDisk()["backlight"],
              (nlohmann::json{{"displays", {{{"id", "ddc:unplugged"}, {"level", 0.9}}}}}));

    RecordingConsole console;
    RestoreStateFile nextState(launch.file, console);
    FakeBacklight replugged;
    replugged.others = {{"ddc:unplugged", 0.2f}};
    CrashRecovery next(nextState, {&replugged, &launch.volume}, console);
    EXPECT_EQ(next.recover(), std::vector<std::string>{"backlight"});
    EXPECT_FLOAT_EQ(*replugged.levelOf("ddc:unplugged"), 0.9f);
    EXPECT_FLOAT_EQ(replugged.level, 0.8f) << "the panel was put back already";
    EXPECT_FALSE(fs::exists(launch.file));
}
