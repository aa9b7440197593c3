// testenv: --system-bus
// timeout: 120
// The ambient light probe: iio-sensor-proxy on the private system bus (python3-dbusmock's
// template), the sysfs fallback on a fake IIO tree, and day or night from what they give.

#include "core/probes/DayNight.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/DBusMock.h"
#include "tests/support/TestPaths.h"

#include <QDBusMessage>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fstream>

using namespace mirl;
using namespace mirl::test;

namespace {

const QString kProxy = QStringLiteral("net.hadess.SensorProxy");
const QString kProxyPath = QStringLiteral("/net/hadess/SensorProxy");

/// Starts the sensor proxy stand-in with the given template parameters.
std::unique_ptr<DBusMock> sensorProxy(const QJsonObject& parameters) {
    return std::make_unique<DBusMock>(
        DBusMock::Bus::system,
        QStringList{QStringLiteral("--template"), QStringLiteral("iio-sensors-proxy"),
                    QStringLiteral("--parameters"),
                    QString::fromUtf8(QJsonDocument(parameters).toJson(QJsonDocument::Compact))},
        kProxy);
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

LinuxActivityProbes probesOn(const std::filesystem::path& iioRoot) {
    ensureQtCore();
    LinuxActivityProbes::Options options;
    options.iioRoot = iioRoot;
    options.useX11 = false;
    return LinuxActivityProbes(options);
}

/// 2026-12-05 at the given UTC hour (the test main's zone).
TimePoint at(int hour) {
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour);
}

} // namespace

TEST(LightProbe, SensorProxyGivesLuxAndReleasesItsClaim) {
    auto proxy =
        sensorProxy({{"has_ambient_light", true}, {"light_level", 123.5}, {"light_level_unit", "lux"}});
    ASSERT_TRUE(proxy->ok()) << proxy->error();
    TempDir emptyTree;
    auto probes = probesOn(emptyTree.path());
    const auto reading = probes.readLight();
    ASSERT_TRUE(reading.lux);
    EXPECT_DOUBLE_EQ(*reading.lux, 123.5);
    EXPECT_EQ(reading.source, "iio-sensor-proxy");

    const auto owners = proxy->control(kProxyPath, QStringLiteral("GetInternalProperty"),
                                       {QStringLiteral("AmbientLightOwners")});
    ASSERT_TRUE(owners) << proxy->error();
    EXPECT_TRUE(owners->constFirst().toStringList().isEmpty()) << "the claim is released after the reading";

    VirtualScheduler night(at(12)); // noon, but the light decides
    EXPECT_FALSE(isNightByLight(probes, night));
}

TEST(LightProbe, VendorUnitsOrNoProxySensorFallBackToSysfs) {
    TempDir tree;
    writeFile(tree.path() / "iio:device0" / "in_accel_x_raw", "12");
    writeFile(tree.path() / "iio:device1" / "in_illuminance_raw", "90");
    writeFile(tree.path() / "iio:device1" / "in_illuminance_offset", "10");
    writeFile(tree.path() / "iio:device1" / "in_illuminance_scale", "0.5");

    {
        auto proxy =
            sensorProxy({{"has_ambient_light", true}, {"light_level", 7.0}, {"light_level_unit", "vendor"}});
        ASSERT_TRUE(proxy->ok()) << proxy->error();
        auto probes = probesOn(tree.path());
        const auto reading = probes.readLight();
        ASSERT_TRUE(reading.lux);
        EXPECT_DOUBLE_EQ(*reading.lux, 50.0);
        EXPECT_EQ(reading.source, "sysfs-iio");
        VirtualScheduler noon(at(12));
        EXPECT_TRUE(isNightByLight(probes, noon)) << "exactly 50 lux is night";
    }
    {
        auto proxy = sensorProxy({{"has_ambient_light", false}});
        ASSERT_TRUE(proxy->ok()) << proxy->error();
        auto probes = probesOn(tree.path());
        EXPECT_EQ(probes.readLight().source, "sysfs-iio");
    }
}

TEST(LightProbe, NoSensorAnywhereLetsTheClockDecide) {
    TempDir emptyTree;
    auto probes = probesOn(emptyTree.path() / "missing");
    const auto reading = probes.readLight();
    EXPECT_FALSE(reading.lux);
    EXPECT_EQ(reading.source, "");
    VirtualScheduler morning(at(6) + std::chrono::minutes(59));
    EXPECT_TRUE(isNightByLight(probes, morning));
    VirtualScheduler day(at(7));
    EXPECT_FALSE(isNightByLight(probes, day));
}
