#pragma once

#include <string>

namespace mirl {

/// What a night-light backend can do. The controller checks these instead of the backend's name.
struct NightLightCapabilities {
    bool strength = true; ///< setStrength is available
    bool enable = true;   ///< setEnabled is available
    bool commit = false;  ///< commitChanges does something
};

/// The desktop's colour-temperature control with a 0..1 strength and an on/off switch. The
/// controller always calls setStrength, then setEnabled, then commitChanges.
///
/// Lifecycle: a backend that replaces user values keeps them before its first change and puts
/// them back on restore(), which is safe to call twice.
/// Thread rule: main thread; calls never block for long.
class NightLight {
public:
    virtual ~NightLight() = default;
    virtual std::string name() const = 0;
    virtual NightLightCapabilities capabilities() const = 0;
    /// strength 0..1: 0 is 6500 K, 1 about 3400 K. commit asks the backend to apply at once.
    virtual void setStrength(float strength, bool commit) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void commitChanges() = 0;
    /// Puts the user's own night-light state back (at quit and after a session).
    virtual void restore() = 0;
};

} // namespace mirl
