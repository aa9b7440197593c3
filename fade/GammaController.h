#pragma once

#include "platform/GammaRamps.h"

namespace mirl {

/// Darkens every display further by lowering the top of its gamma ramp. It owns the
/// brightness half of the composed ramp; the night light's warmth may own the other half.
///
/// States: Normal (active false) and Dimmed. Thread rule: main thread.
class GammaController {
public:
    /// ramps may be null when the display offers no gamma ramps; every call then only keeps
    /// the state.
    explicit GammaController(GammaRamps* ramps) : ramps_(ramps) {}

    /// Applies the darkness (top of the ramp 1 - 0.65 x darkness), or restores below 0.001.
    void apply(double darkness);
    /// Returns the brightness half to neutral when a dimming of ours is in force.
    void restore();
    /// At quit: every ramp back to its original, whatever the state.
    void willTerminate();

    bool active() const { return active_; }

private:
    GammaRamps* ramps_;
    bool active_ = false;
};

} // namespace mirl
