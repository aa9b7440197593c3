#pragma once

#include <optional>

namespace mirl {

/// The small probes through which Mirl looks at the machine around it. Every platform failure
/// gives the neutral answer: no media playback, no lux. Calls return quickly (bounded D-Bus
/// timeouts); idleSeconds() is safe from any thread.
class ActivityProbes {
public:
    virtual ~ActivityProbes() = default;
    /// Seconds since the last keyboard or mouse event of the user's session; nothing when no
    /// idle facility answers (unknown is not the same as "just touched").
    virtual std::optional<double> idleSeconds() = 0;
    /// True when another process (never this one) keeps the display awake, as video players do.
    virtual bool isMediaPlaybackActive() = 0;
    /// Ambient light in lux, or nothing without a sensor.
    virtual std::optional<double> readAmbientLux() = 0;
};

} // namespace mirl
