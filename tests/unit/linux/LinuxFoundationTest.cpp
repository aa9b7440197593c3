#include "core/settings/Settings.h"
#include "core/settings/SettingsKeys.h"
#include "platform/linux/QSettingsStore.h"
#include "platform/linux/SystemdPower.h"
#include "platform/linux/XdgPaths.h"
#include "runtime/Console.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace mirl;
namespace fs = std::filesystem;

namespace {

/// Sets an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(QSettingsStore, ValuesSurviveANewStoreAndReadsCreateNothing) {
    test::TempDir tmp;
    const fs::path file = tmp.path() / "Mirl" / "Mirl.conf";
    {
        QSettingsStore store(file);
        Settings settings(store);
        EXPECT_EQ(settings.readInt(keys::fadeIdleThresholdSec, 600), 600);
        EXPECT_FALSE(fs::exists(file)); // a read never writes
        settings.writeInt(keys::ambianceVolumeFloorPct, 0);
        settings.writeBool(keys::systemSleepOnFire, false);
        settings.writeString(keys::modeTimerMode, "nap/night \"x\"");
    }
    QSettingsStore reopened(file);
    Settings settings(reopened);
    EXPECT_EQ(settings.readInt(keys::ambianceVolumeFloorPct, 35), 0);
    EXPECT_FALSE(settings.readBool(keys::systemSleepOnFire, true));
    EXPECT_EQ(settings.readString(keys::modeTimerMode, "auto"), "nap/night \"x\"");
    EXPECT_FALSE(settings.contains(keys::fadeCooldownSec));
    settings.remove(keys::systemSleepOnFire);
    EXPECT_TRUE(settings.readBool(keys::systemSleepOnFire, true));
}

TEST(QSettingsStore, HandEditedValuesAreRead) {
    test::TempDir tmp;
    const fs::path file = tmp.path() / "Mirl.conf";
    std::ofstream(file) << "[General]\nfade.idle_threshold_sec=120\nfade.auto_enabled=false\n"
                           "ambiance.volume_floor_pct=lots\n";
    QSettingsStore store(file);
    Settings settings(store);
    EXPECT_EQ(settings.readInt(keys::fadeIdleThresholdSec, 600), 120);
    EXPECT_FALSE(settings.readBool(keys::fadeAutoEnabled, true));
    EXPECT_EQ(settings.readInt(keys::ambianceVolumeFloorPct, 35), 35);
}

TEST(QSettingsStore, ASettingsFileThatIsNoFileIsNotOpened) {
    for (const char* kind : {"fifo", "link"}) {
        test::TempDir tmp;
        const fs::path file = tmp.path() / "Mirl.conf";
        if (std::string(kind) == "fifo")
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        else
            fs::create_symlink("/dev/zero", file);
        RecordingConsole console;
        QSettingsStore store(file, &console); // a FIFO used to block here for good
        EXPECT_FALSE(store.persistent()) << kind;
        ASSERT_EQ(console.lines().size(), 1u) << kind;
        EXPECT_EQ(console.lines()[0].rfind("Mirl: ignoring the settings file " + file.string(), 0), 0u)
            << kind;
        Settings settings(store);
        EXPECT_EQ(settings.readInt(keys::fadeIdleThresholdSec, 600), 600) << kind;
        settings.writeInt(keys::fadeIdleThresholdSec, 120);
        EXPECT_EQ(settings.readInt(keys::fadeIdleThresholdSec, 600), 120) << kind << ": kept for this run";
        EXPECT_TRUE(fs::is_fifo(fs::symlink_status(file)) || fs::is_symlink(fs::symlink_status(file)))
            << kind;
    }
}

TEST(QSettingsStore, TheSettingsFolderIsTheUsersOnly) {
    test::TempDir tmp;
    const fs::path file = tmp.path() / "config" / "Mirl" / "Mirl.conf";
    QSettingsStore store(file);
    Settings(store).writeInt(keys::fadeIdleThresholdSec, 120);
    EXPECT_EQ(fs::status(file.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(file.parent_path().parent_path()).permissions() & fs::perms::all,
              fs::perms::owner_all);
}

TEST(XdgPaths, FollowTheEnvironmentAndFallBackToHome) {
    ScopedEnv home("HOME", "/home/sleeper");
    {
        ScopedEnv data("XDG_DATA_HOME", "/custom/data");
        ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
        EXPECT_EQ(xdg::dataHome(), fs::path("/custom/data"));
        EXPECT_EQ(xdg::configHome(), fs::path("/home/sleeper/.config"));
    }
    ScopedEnv state("XDG_STATE_HOME", "");
    EXPECT_EQ(xdg::stateHome(), fs::path("/home/sleeper/.local/state"));
    EXPECT_EQ(QSettingsStore::defaultFile(), fs::path("/home/sleeper/.config/Mirl/Mirl.conf"));
    EXPECT_FALSE(xdg::osPrettyName().empty());
}

TEST(SystemdPower, LaunchesSystemctlSuspendWithoutWaiting) {
    test::TempDir tmp;
    const fs::path marker = tmp.path() / "called";
    const fs::path fake = tmp.path() / "systemctl";
    // The stand-in records its arguments, then lingers: suspend() must not wait for it.
    std::ofstream(fake) << "#!/bin/sh\nexec >/dev/null 2>&1\necho \"$@\" > '" << marker.string()
                        << "'\nsleep 5\n";
    fs::permissions(fake, fs::perms::owner_all);
    ScopedEnv path("PATH", tmp.path().string() + ":/usr/bin:/bin");

    SystemdPower power;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(power.suspend(), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    // A bounded wait for the child, generous because a loaded machine may start it late.
    for (int i = 0; i < 1500 && !(fs::exists(marker) && fs::file_size(marker) > 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(test::readFile(marker), "suspend\n");
}

TEST(SystemdPower, ReportsAMissingCommand) {
    test::TempDir tmp;
    ScopedEnv path("PATH", tmp.path().string());
    SystemdPower power;
    EXPECT_TRUE(power.suspend().has_value());
}

TEST(StderrConsole, WritesWholeLines) {
    test::TempDir tmp;
    const fs::path out = tmp.path() / "stderr";
    const int saved = ::dup(STDERR_FILENO);
    std::FILE* f = std::fopen(out.c_str(), "w");
    ::dup2(::fileno(f), STDERR_FILENO);
    {
        StderrConsole console;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&console, t] {
                for (int i = 0; i < 100; ++i)
                    console.line("Mirl: line " + std::to_string(t) + " " + std::string(200, 'x'));
            });
        for (auto& th : threads)
            th.join();
    }
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::fclose(f);
    std::istringstream in(test::readFile(out));
    int count = 0;
    for (std::string line; std::getline(in, line); ++count)
        ASSERT_EQ(line.size(), std::string("Mirl: line 0 ").size() + 200) << line;
    EXPECT_EQ(count, 400);
}
