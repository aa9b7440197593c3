#pragma once

#include "runtime/Handle.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// An audio device as the sound server names it.
struct SoundDevice {
    std::uint32_t id = 0; // valid while the device (and the server connection) lasts; never 0
    std::string name;     // display name
    std::string uid;      // persistent identifier
    bool operator==(const SoundDevice&) const = default;
};

struct SoundServerInfo {
    std::string server; // e.g. "pulseaudio" or "PulseAudio (on PipeWire 0.3.65)"
    std::string version;
    std::string defaultOutputUid;  // empty when none
    std::string defaultOutputName; // display name
    std::string defaultInputUid;
};

/// The sound server's volume, devices and streams.
///
/// Thread rule: every call may be made from any thread and returns quickly (reads come from
/// a state kept current by the server's notifications; writes wait at most about a second).
/// Listeners run on the main thread. While the server is away, reads give neutral values
/// (no device, no volume, nothing playing) and writes are dropped; the connection is made
/// again when the server comes back.
class AudioControl {
public:
    using Listener = std::function<void()>;
    struct Listening {
        Handle handle;  // removes the listener
        int status = 0; // 0 when installed, else the server's error code
    };

    virtual ~AudioControl() = default;

    /// The sound server's description, nothing while it is away.
    virtual std::optional<SoundServerInfo> serverInfo() = 0;

    /// The default output device; 0 when there is none.
    virtual std::uint32_t defaultOutputDevice() = 0;
    /// Whether `device` has a volume that can be read and listened to.
    virtual bool deviceHasVolume(std::uint32_t device) = 0;
    /// `device`'s volume in whole percent (its loudest channel), nothing when unreadable.
    virtual std::optional<int> deviceVolume(std::uint32_t device) = 0;
    /// Sets the default output's volume, keeping the balance between channels. False when the
    /// volume could not be set (no server, no output, or the server refused).
    virtual bool setOutputVolume(int percent) = 0;

    /// Called (coalesced) after `device`'s volume changed.
    virtual Listening listenToVolume(std::uint32_t device, Listener listener) = 0;
    /// Called after the default output device changed (also when the server left or came back).
    virtual Handle listenToDefaultOutput(Listener listener) = 0;
    /// Called after input devices came or went or the default input changed.
    virtual Handle listenToInputs(Listener listener) = 0;

    /// Input devices (monitors of outputs excluded), in the server's order.
    virtual std::vector<SoundDevice> inputDevices() = 0;
    /// The default input device, 0 when there is none.
    virtual std::uint32_t defaultInputDevice() = 0;
    /// Makes `device` the default input. False when it does not exist or the server refuses.
    virtual bool setDefaultInputDevice(std::uint32_t device) = 0;

    /// True while an output device plays a stream of another process.
    virtual bool isOutputPlaying() = 0;
};

} // namespace mirl
