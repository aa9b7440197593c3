#pragma once

#include "runtime/Handle.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace mirl {

/// Sample rate and channel count of what the capture tap delivers; 0 when unknown.
struct CaptureFormat {
    double sampleRate = 0;
    int channels = 0;
    bool operator==(const CaptureFormat&) const = default;
    /// A format that audio can be set up for (a positive rate and at least one channel).
    bool usable() const { return sampleRate > 0 && channels > 0; }
};

/// The input a capture engine records from, as the sound server names it.
struct CaptureSource {
    std::string name;        // the persistent identifier (PulseAudio's source name)
    std::string description; // the display name
};

/// What changed under a running capture engine.
enum class CaptureChange {
    defaultSourceChanged, // the system's default input is another device now
    streamMoved,          // the server moved the capture to another device
    streamLost,           // the capture stream ended without being asked to (device gone, killed)
    serverLost,           // the sound server went away
    serverReturned,       // the sound server is back after having gone away
};

/// The microphone: one capture stream from the system's default input, delivered as blocks of
/// interleaved 32-bit float frames through a tap. One engine serves its owner for the owner's
/// whole life; the owner installs the tap, starts, stops and starts again.
///
/// Thread rule: every call is made on the main thread. The tap runs on the engine's capture
/// thread, one buffer at a time; it must copy what it keeps and return quickly, and it is never
/// called after removeTap() or stop() has returned. Change callbacks run on the main thread.
/// Calls that ask the sound server wait for it at most a couple of seconds.
class CaptureEngine {
public:
    /// One captured block. The samples belong to the engine and are valid only during the tap call.
    struct Buffer {
        const float* interleaved = nullptr; // frames * format.channels samples; null: no float data
        std::size_t frames = 0;
        CaptureFormat format;
        std::int64_t sampleTime = 0; // frames captured before this block since the engine started
    };
    using Tap = std::function<void(const Buffer&)>;
    using ChangeCallback = std::function<void(CaptureChange)>;

    /// Frames per buffer that the tap asks for.
    static constexpr std::size_t framesPerBuffer = 8192;

    virtual ~CaptureEngine() = default;

    /// The format the tap delivers: that of the running capture, else that of the input the
    /// next start would open. Unknown (0, 0) when there is no input or no sound server.
    virtual CaptureFormat tapFormat() = 0;
    /// The input being recorded, else the one the next start would open; nothing without one.
    virtual std::optional<CaptureSource> currentSource() = 0;

    /// Installs the tap (replacing any). Nothing on success, else why it was refused.
    virtual std::optional<std::string> installTap(Tap tap) = 0;
    virtual void removeTap() = 0;

    /// Opens the capture and starts delivering to the tap. Nothing on success, else the error's
    /// description.
    virtual std::optional<std::string> start() = 0;
    /// Ends the capture. Safe when not running.
    virtual void stop() = 0;
    /// Forgets anything a failed start left behind, so that the next start begins afresh.
    virtual void reset() = 0;
    virtual bool isRunning() const = 0;

    /// Calls `callback` after each change until the handle goes. Changes are reported while the
    /// engine exists, running or not; what the owner makes of them is its own business. The
    /// owner's own stop and start are not changes (a rebuild must not cause the next one).
    [[nodiscard]] virtual Handle watchChanges(ChangeCallback callback) = 0;
};

} // namespace mirl
