#pragma once

#include "platform/InputDevices.h"

#include <algorithm>
#include <functional>

namespace mirl {

/// Input devices kept in memory; tests and the simulator set the fields.
class FakeInputDevices final : public InputDevices {
public:
    std::vector<AudioInputDevice> inputDevices() override { return devices; }
    std::optional<AudioInputDevice> defaultInputDevice() override {
        for (const auto& device : devices) {
            if (device.id == defaultId) {
                return device;
            }
        }
        return std::nullopt;
    }
    std::optional<std::uint32_t> setDefaultInputDevice(const AudioInputDevice& device) override {
        ++switches;
        const bool known = std::any_of(devices.begin(), devices.end(),
                                       [&](const AudioInputDevice& d) { return d.id == device.id; });
        if (refuseSwitch || !known) {
            return std::nullopt;
        }
        const std::uint32_t previous = defaultReadable ? defaultId : 0;
        defaultId = device.id;
        if (onDefaultChanged) {
            onDefaultChanged();
        }
        return previous;
    }

    std::vector<AudioInputDevice> devices;
    std::uint32_t defaultId = 0;
    bool defaultReadable = true; // false: a switch reports the previous default as 0
    bool refuseSwitch = false;   // true: every switch fails
    int switches = 0;
    /// Called after a successful switch (a fake capture engine may report the change).
    std::function<void()> onDefaultChanged;
};

} // namespace mirl
