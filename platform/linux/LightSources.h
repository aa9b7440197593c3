#pragma once

#include "platform/linux/ProbeSources.h"

#include <filesystem>

namespace mirl {

/// iio-sensor-proxy on the system bus (net.hadess.SensorProxy): claims the light sensor, reads
/// LightLevel when its unit is lux, and releases it again. A reading in vendor units is no lux.
class SensorProxyLight final : public LightSource {
public:
    std::string name() const override { return "iio-sensor-proxy"; }
    std::optional<double> lux() override;
};

/// The first IIO device under root (normally /sys/bus/iio/devices) that gives illuminance:
/// in_illuminance_input in lux, else (in_illuminance_raw + in_illuminance_offset) ×
/// in_illuminance_scale (offset 0 and scale 1 when absent). Channel-numbered names
/// ("in_illuminance0_input") count as well.
class SysfsLight final : public LightSource {
public:
    explicit SysfsLight(std::filesystem::path root = "/sys/bus/iio/devices") : root_(std::move(root)) {}
    std::string name() const override { return "sysfs-iio"; }
    std::optional<double> lux() override;

    /// The illuminance one IIO device directory gives, or nothing.
    static std::optional<double> readDevice(const std::filesystem::path& device);

private:
    std::filesystem::path root_;
};

} // namespace mirl
