#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace mirl {

// The single platform facilities behind LinuxActivityProbes, each tried in order. A source that
// cannot answer returns nothing, and the next one is asked.

/// Seconds since the last keyboard or mouse event, from one facility.
class IdleSource {
public:
    virtual ~IdleSource() = default;
    /// Short name for the doctor ("x11-screensaver", "gnome-mutter", ...).
    virtual std::string name() const = 0;
    virtual std::optional<double> idleSeconds() = 0;
};

/// An inhibition that keeps the display awake, held by someone other than us.
struct MediaInhibitor {
    std::string source; // the facility that listed it
    std::string who;    // application name or id as the facility gives it
    std::string why;
    std::optional<pid_t> pid;
};

/// Lists the display-sleep inhibitions of other processes from one facility.
class InhibitorSource {
public:
    virtual ~InhibitorSource() = default;
    virtual std::string name() const = 0;
    /// The inhibitions that count (ours excluded); nothing when the facility does not answer.
    virtual std::optional<std::vector<MediaInhibitor>> displayInhibitors() = 0;
};

/// Ambient light in lux from one facility.
class LightSource {
public:
    virtual ~LightSource() = default;
    virtual std::string name() const = 0;
    virtual std::optional<double> lux() = 0;
};

} // namespace mirl
