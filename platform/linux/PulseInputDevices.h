#pragma once

#include "platform/AudioControl.h"
#include "platform/InputDevices.h"

namespace mirl {

/// InputDevices over the sound server's picture that AudioControl keeps (PulseAudioControl):
/// sources without the monitors of outputs; uid = the source's name, name = its description,
/// id = its PulseAudio index + 1 (so that 0 can mean "none", as everywhere in Mirl). The picture
/// follows the server's notifications, so every call sees the devices as they are now.
class PulseInputDevices final : public InputDevices {
public:
    explicit PulseInputDevices(AudioControl& audio) : audio_(audio) {}

    std::vector<AudioInputDevice> inputDevices() override;
    std::optional<AudioInputDevice> defaultInputDevice() override;
    std::optional<std::uint32_t> setDefaultInputDevice(const AudioInputDevice& device) override;

private:
    AudioControl& audio_;
};

} // namespace mirl
