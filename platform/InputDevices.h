#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirl {

/// A microphone as the sound server lists it.
struct AudioInputDevice {
    std::uint32_t id = 0; // the server's number for it, valid while the device lasts; never 0
    std::string name;     // display name
    std::string uid;      // persistent identifier; empty when the server gives none
    bool operator==(const AudioInputDevice&) const = default;
};

/// The system's input devices (monitors of outputs are not inputs) and its default input.
/// Nothing is cached: every call asks afresh, so devices plugged in or removed since the last
/// call show. Failures degrade silently: an empty list, no device, no switch.
///
/// Thread rule: main thread; calls return within about a second.
class InputDevices {
public:
    virtual ~InputDevices() = default;

    /// The input devices in the server's order; empty when the server cannot be asked.
    virtual std::vector<AudioInputDevice> inputDevices() = 0;
    /// The current default input, nothing when there is none or it cannot be read.
    virtual std::optional<AudioInputDevice> defaultInputDevice() = 0;
    /// Makes `device` the system's default input. The previous default's id (0 when it could not
    /// be read), or nothing when the switch failed (for example because the device is gone).
    virtual std::optional<std::uint32_t> setDefaultInputDevice(const AudioInputDevice& device) = 0;

    /// The first device of inputDevices() whose uid is exactly `uid`.
    std::optional<AudioInputDevice> findInputDevice(std::string_view uid) {
        for (auto& device : inputDevices()) {
            if (device.uid == uid) {
                return device;
            }
        }
        return std::nullopt;
    }
};

} // namespace mirl

template <> struct std::hash<mirl::AudioInputDevice> {
    std::size_t operator()(const mirl::AudioInputDevice& d) const noexcept {
        std::size_t h = std::hash<std::uint32_t>{}(d.id);
        for (std::size_t next : {std::hash<std::string>{}(d.name), std::hash<std::string>{}(d.uid)}) {
            h ^= next + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        }
        return h;
    }
};
