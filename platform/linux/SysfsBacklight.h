#pragma once

#include "platform/Backlight.h"

#include <filesystem>
#include <string>
#include <vector>

namespace mirl {

/// The internal panel: levels read from /sys/class/backlight/<device>/{actual_brightness,
/// max_brightness}, written through logind's Session.SetBrightness("backlight", device, value)
/// on the system bus (no root needed, only the foreground session's owner), with a direct
/// write of <device>/brightness when logind refuses (root, or a udev rule granting it).
/// Devices are listed once, firmware before platform before raw interfaces, then by name.
/// Thread rule: main thread; each D-Bus call waits at most half a second.
class SysfsBacklight final : public Backlight {
public:
    struct Device {
        std::string name;
        std::string type;
        long long maxRaw = 0;
    };

    /// root is the backlight class folder (injectable for tests); sessionPath the logind
    /// session object ("auto" is the caller's session).
    explicit SysfsBacklight(std::filesystem::path root = "/sys/class/backlight",
                            std::string sessionPath = "/org/freedesktop/login1/session/auto");

    std::optional<float> readLevel() override;
    bool writeLevel(float level) override;
    /// Each device as "backlight:<device>".
    std::vector<DisplayLevel> readLevels() override;
    std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) override;
    /// One raw step of the device that answered the last read.
    double levelStep() override;

    const std::vector<Device>& devices() const { return devices_; }
    /// The level of one device, for diagnostics.
    std::optional<float> levelOf(const Device& device) const;

private:
    static std::string idOf(const Device& device) { return "backlight:" + device.name; }
    bool writeDevice(const Device& device, float level);
    bool writeThroughLogind(const Device& device, long long raw);

    std::filesystem::path root_;
    std::string sessionPath_;
    std::vector<Device> devices_;
    const Device* answered_ = nullptr;
};

} // namespace mirl
