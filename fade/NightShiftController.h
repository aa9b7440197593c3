#pragma once

#include "platform/NightLight.h"
#include "runtime/Console.h"

namespace mirl {

/// Warms the screen through the desktop's night light (or the warmth half of the gamma ramps),
/// fed a strength 0..1 derived from the orange intensity. Every backend is driven in the same
/// order: strength, enable, commit.
/// Thread rule: main thread.
class NightShiftController {
public:
    /// light may be null when no backend is available; that is said once on the console and
    /// every later call does nothing.
    NightShiftController(NightLight* light, Console& console);

    /// Sets the strength and enables the night light, or disables it below 0.001.
    void setStrength(double strength);
    /// Switches the night light off (a backend that replaced user values puts them back).
    void disable();
    /// At quit: the user's own night-light state back.
    void willTerminate();

    bool available() const { return light_ != nullptr; }

private:
    NightLight* light_;
    Console& console_;
};

} // namespace mirl
