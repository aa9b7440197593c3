#pragma once

#include "platform/GammaMath.h"

#include <string>

namespace mirl {

/// The colour ramps of every output (CRTC) of the display, written as one composition:
/// ramp = original x brightness x white point. Gamma dimming owns the brightness half, the
/// warmth of the night light (where the ramps carry it) owns the white point, so the two never
/// fight over the ramp.
///
/// Lifecycle: the original ramps are saved before the first write; when both halves are back
/// to neutral the originals are written back exactly and forgotten. restoreAll() does that at
/// once and is safe to call twice.
/// Thread rule: main thread.
class GammaRamps {
public:
    virtual ~GammaRamps() = default;
    virtual std::string name() const = 0;
    /// Sets the brightness factor (the top of the ramp, 0..1; 1 is neutral) and writes.
    virtual void setBrightness(double factor) = 0;
    /// Sets the white point (neutral is 1, 1, 1) and writes.
    virtual void setWhitePoint(WhitePoint whitePoint) = 0;
    /// Writes the original ramps back and forgets them.
    virtual void restoreAll() = 0;
};

} // namespace mirl
