// The Linux probes' own rules, without any bus: which logind inhibitor keeps the display awake,
// and how an IIO device's illuminance attributes are read.

#include "platform/linux/InhibitorSources.h"
#include "platform/linux/LightSources.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace mirl;

TEST(LogindInhibitorRule, CountsOnlyIdleBlocksOfOthers) {
    struct Row {
        const char* name;
        const char* what;
        const char* mode;
        pid_t pid;
        bool counts;
    };
    const pid_t own = 1000;
    const Row rows[] = {
        {"video player", "idle", "block", 42, true},
        {"idle among others", "sleep:idle:handle-lid-switch", "block", 42, true},
        {"idle last", "shutdown:idle", "block", 42, true},
        {"our own", "idle", "block", own, false},
        {"delay lock", "idle", "delay", 42, false},
        {"sleep only", "sleep:shutdown", "block", 42, false},
        {"no substring match", "idleness:handle-idle-key", "block", 42, false},
        {"empty what", "", "block", 42, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(logindInhibitorCounts(row.what, row.mode, row.pid, own), row.counts) << row.name;
}

namespace {

class IioTree : public ::testing::Test {
protected:
    std::filesystem::path device(const std::string& name) { return dir.path() / name; }
    void write(const std::string& dev, const std::string& attr, const std::string& text) {
        std::filesystem::create_directories(device(dev));
        std::ofstream(device(dev) / attr) << text << "\n";
    }
    mirl::test::TempDir dir;
};

} // namespace

TEST_F(IioTree, ReadsProcessedRawAndChannelNumberedAttributes) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> attrs;
        std::optional<double> lux;
    };
    const Row rows[] = {
        {"processed input", {{"in_illuminance_input", "312.5"}}, 312.5},
        {"input wins over raw", {{"in_illuminance_input", "10"}, {"in_illuminance_raw", "999"}}, 10},
        {"raw alone", {{"in_illuminance_raw", "80"}}, 80},
        {"raw with offset and scale",
         {{"in_illuminance_raw", "90"}, {"in_illuminance_offset", "10"}, {"in_illuminance_scale", "0.25"}},
         25},
        {"channel-numbered input", {{"in_illuminance0_input", "7"}}, 7},
        {"channel-numbered raw and scale", {{"in_illuminance0_raw", "4"}, {"in_illuminance0_scale", "2"}}, 8},
        {"garbage", {{"in_illuminance_input", "bright"}}, std::nullopt},
        {"negative", {{"in_illuminance_input", "-3"}}, std::nullopt},
        {"not a light sensor", {{"in_accel_x_raw", "5"}}, std::nullopt},
        {"empty file", {{"in_illuminance_input", ""}}, std::nullopt},
    };
    int i = 0;
    for (const auto& row : rows) {
        const std::string dev = "iio:device" + std::to_string(i++);
        std::filesystem::create_directories(device(dev));
        for (const auto& [attr, text] : row.attrs)
            write(dev, attr, text);
        EXPECT_EQ(SysfsLight::readDevice(device(dev)), row.lux) << row.name;
    }
}

TEST_F(IioTree, TakesTheFirstDeviceThatGivesLight) {
    write("iio:device0", "in_accel_x_raw", "1");
    write("iio:device1", "in_illuminance_input", "oops");
    write("iio:device2", "in_illuminance_input", "42");
    write("iio:device3", "in_illuminance_input", "99");
    write("trigger0", "in_illuminance_input", "1000"); // not an IIO device directory
    EXPECT_EQ(SysfsLight(dir.path()).lux(), 42.0);
    EXPECT_EQ(SysfsLight(dir.path() / "absent").lux(), std::nullopt);
    EXPECT_EQ(SysfsLight("/proc/self/status").lux(), std::nullopt) << "a file, not a folder";
}
