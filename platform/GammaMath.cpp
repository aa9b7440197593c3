#include "platform/GammaMath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace mirl {

namespace {

constexpr int kTableFirstKelvin = 1700;
constexpr int kTableLastKelvin = 10000;
constexpr int kTableStepKelvin = 100;
constexpr std::size_t kTableSize = (kTableLastKelvin - kTableFirstKelvin) / kTableStepKelvin + 1;

struct Rgb {
    double r, g, b;
};

// Chromaticity of the Planckian locus (cubic spline fit of Kim et al., valid 1667..25000 K),
// then linear sRGB of that chromaticity at unit luminance.
Rgb blackbodyLinearRgb(double kelvin) {
    const double t = kelvin, t2 = t * t, t3 = t2 * t;
    const double x = kelvin <= 4000 ? -0.2661239e9 / t3 - 0.2343589e6 / t2 + 0.8776956e3 / t + 0.179910
                                    : -3.0258469e9 / t3 + 2.1070379e6 / t2 + 0.2226347e3 / t + 0.240390;
    const double x2 = x * x, x3 = x2 * x;
    double y;
    if (kelvin <= 2222)
        y = -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683;
    else if (kelvin <= 4000)
        y = -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867;
    else
        y = 3.0817580 * x3 - 5.87338670 * x2 + 3.75112997 * x - 0.37001483;
    const double X = x / y, Y = 1.0, Z = (1.0 - x - y) / y;
    return {3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z, -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
            0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z};
}

// The ramps hold encoded values, so the multipliers are encoded too (the sRGB curve).
double encode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

using Table = std::array<WhitePoint, kTableSize>;

Table buildTable() {
    Table table{};
    const Rgb white = blackbodyLinearRgb(kNeutralKelvin);
    for (std::size_t i = 0; i < kTableSize; ++i) {
        const Rgb c = blackbodyLinearRgb(kTableFirstKelvin + static_cast<double>(i) * kTableStepKelvin);
        double r = std::max(0.0, c.r / white.r), g = std::max(0.0, c.g / white.g),
               b = std::max(0.0, c.b / white.b);
        const double top = std::max({r, g, b});
        table[i] = {encode(r / top), encode(g / top), encode(b / top)};
    }
    // The neutral temperature is exactly neutral, so that a warmth of zero leaves ramps alone.
    table[(kNeutralKelvin - kTableFirstKelvin) / kTableStepKelvin] = WhitePoint{};
    return table;
}

const Table& table() {
    static const Table t = buildTable();
    return t;
}

} // namespace

int kelvinForStrength(double strength) {
    if (!(strength > 0.0))
        return kNeutralKelvin;
    const double s = std::min(strength, 1.0);
    return static_cast<int>(std::lround(kNeutralKelvin - s * (kNeutralKelvin - kWarmestKelvin)));
}

WhitePoint whitePointForKelvin(int kelvin) {
    const int k = std::clamp(kelvin, kTableFirstKelvin, kTableLastKelvin);
    const std::size_t index = static_cast<std::size_t>((k - kTableFirstKelvin) / kTableStepKelvin);
    const WhitePoint& low = table()[index];
    if (index + 1 >= kTableSize)
        return low;
    const WhitePoint& high = table()[index + 1];
    const double f = static_cast<double>((k - kTableFirstKelvin) % kTableStepKelvin) / kTableStepKelvin;
    if (f == 0.0)
        return low;
    return {low.red + (high.red - low.red) * f, low.green + (high.green - low.green) * f,
            low.blue + (high.blue - low.blue) * f};
}

bool plausibleOriginalRamp(std::span<const std::uint16_t> ramp) {
    if (ramp.size() < 2)
        return false;
    const bool rising = std::is_sorted(ramp.begin(), ramp.end());
    const bool falling = std::is_sorted(ramp.begin(), ramp.end(), std::greater<>());
    return (rising || falling) && std::max(ramp.front(), ramp.back()) >= 65535 / 10;
}

std::vector<std::uint16_t> scaleRamp(std::span<const std::uint16_t> original, double factor) {
    const double f = std::clamp(factor, 0.0, 1.0);
    std::vector<std::uint16_t> out(original.size());
    for (std::size_t i = 0; i < original.size(); ++i)
        out[i] = static_cast<std::uint16_t>(std::clamp(std::lround(original[i] * f), 0L, 65535L));
    return out;
}

} // namespace mirl
