#include "platform/linux/PulseInputDevices.h"

namespace mirl {

std::vector<AudioInputDevice> PulseInputDevices::inputDevices() {
    std::vector<AudioInputDevice> out;
    for (auto& device : audio_.inputDevices()) {
        out.push_back({device.id, std::move(device.name), std::move(device.uid)});
    }
    return out;
}

std::optional<AudioInputDevice> PulseInputDevices::defaultInputDevice() {
    const std::uint32_t id = audio_.defaultInputDevice();
    for (auto& device : inputDevices()) {
        if (device.id == id) {
            return device;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> PulseInputDevices::setDefaultInputDevice(const AudioInputDevice& device) {
    const std::uint32_t previous = audio_.defaultInputDevice();
    if (!audio_.setDefaultInputDevice(device.id)) {
        return std::nullopt;
    }
    return previous;
}

} // namespace mirl
