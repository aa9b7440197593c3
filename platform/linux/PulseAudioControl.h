#pragma once

#include "platform/AudioControl.h"
#include "platform/OutputPlaybackProbe.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/PulseServerState.h"
#include "runtime/Scheduler.h"

namespace mirl {

/// AudioControl over libpulse (PulseAudio, or PipeWire's pulse server).
///
/// A threaded main loop keeps a copy of the server's sinks, sources, sink inputs and defaults,
/// refreshed by SINK, SOURCE, SINK_INPUT and SERVER subscription events; reads answer from it
/// at once. A lost connection is retried every second. Device ids are the server's indexes
/// plus one (0 means "none").
class PulseAudioControl final : public AudioControl, public OutputPlaybackProbe {
public:
    /// Connects and waits up to `connectWait` for the first picture of the server.
    explicit PulseAudioControl(Scheduler& mainThread, Duration connectWait = std::chrono::seconds(2));
    ~PulseAudioControl() override;
    PulseAudioControl(const PulseAudioControl&) = delete;
    PulseAudioControl& operator=(const PulseAudioControl&) = delete;

    std::optional<SoundServerInfo> serverInfo() override;
    std::uint32_t defaultOutputDevice() override;
    bool deviceHasVolume(std::uint32_t device) override;
    std::optional<int> deviceVolume(std::uint32_t device) override;
    bool setOutputVolume(int percent) override;
    Listening listenToVolume(std::uint32_t device, Listener listener) override;
    Handle listenToDefaultOutput(Listener listener) override;
    Handle listenToInputs(Listener listener) override;
    std::vector<SoundDevice> inputDevices() override;
    std::uint32_t defaultInputDevice() override;
    bool setDefaultInputDevice(std::uint32_t device) override;
    bool isOutputPlaying() override;
    bool isOutputAudioPlaying() override { return isOutputPlaying(); }

    /// True while connected to a server.
    bool connected();

private:
    PulseServerState state_;     // declared first: the connection's requests report to it
    PulseConnection connection_; // stopped first, before the state goes
};

} // namespace mirl
