#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mirl {

/// Multipliers of the red, green and blue ramps for a colour temperature; neutral is 1, 1, 1.
struct WhitePoint {
    double red = 1.0;
    double green = 1.0;
    double blue = 1.0;
    bool operator==(const WhitePoint&) const = default;
    bool neutral() const { return red == 1.0 && green == 1.0 && blue == 1.0; }
};

/// The neutral colour temperature of the screen and the warmest the night light goes.
inline constexpr int kNeutralKelvin = 6500;
inline constexpr int kWarmestKelvin = 3400;

/// Warmth strength 0..1 (clamped) as a colour temperature: 6500 K at 0, 3400 K at 1, linear.
int kelvinForStrength(double strength);

/// The white point of a blackbody at this temperature (clamped to 1000..10000 K), relative to
/// the 6500 K white and scaled so that the strongest channel is 1. Interpolated in a table
/// with 100 K steps.
WhitePoint whitePointForKelvin(int kelvin);

/// One channel of a ramp: each entry of original scaled by factor (clamped to 0..1), rounded
/// to the nearest 16-bit value.
std::vector<std::uint16_t> scaleRamp(std::span<const std::uint16_t> original, double factor);

/// True when a channel could be a display's own ramp, one worth putting back: at least two
/// entries, monotonic (rising, or falling for inverted colours), and reaching at least a tenth
/// of full scale (an all-zero or near-black ramp would blank the screen).
bool plausibleOriginalRamp(std::span<const std::uint16_t> ramp);

} // namespace mirl
