#pragma once

namespace mirl {

/// What one ambiance value (0 = screen untouched .. 1 = darkest) shows on the screen.
struct OverlayLook {
    double orange = 0;   ///< orange veil strength, 0..0.22
    double darkness = 0; ///< darkness, 0..0.75
};

/// The fixed mapping used wherever an ambiance is applied: the orange tint rises to its peak
/// 0.22 at 0.55 and falls back to 60 % of it at 1; darkness = 0.75 x a^0.7. a is clamped to
/// 0..1 (a value that is not a number counts as 0).
OverlayLook overlayForAmbiance(double a);

/// The inverse for a brightness change made by the user: the ambiance whose darkness equals d
/// (d a darkness equivalent 0..1): 0 up to 0.0001, 1 from 0.75 on.
double ambianceForDarkness(double d);

} // namespace mirl
