#include "core/session/AmbianceMapping.h"

#include <algorithm>
#include <cmath>

namespace mirl {

namespace {
constexpr double kPeakOrange = 0.22;
constexpr double kPeakAt = 0.55;
constexpr double kMaxDarkness = 0.75;
constexpr double kDarknessExponent = 0.7;
} // namespace

OverlayLook overlayForAmbiance(double a) {
    const double c = std::isnan(a) ? 0.0 : std::clamp(a, 0.0, 1.0);
    const double orange = c < kPeakAt ? kPeakOrange * (c / kPeakAt)
                                      : kPeakOrange * (1.0 - 0.4 * (c - kPeakAt) / (1.0 - kPeakAt));
    return {orange, kMaxDarkness * std::pow(c, kDarknessExponent)};
}

double ambianceForDarkness(double d) {
    if (std::isnan(d) || d <= 0.0001)
        return 0.0;
    if (d >= kMaxDarkness)
        return 1.0;
    return std::pow(d / kMaxDarkness, 1.0 / kDarknessExponent);
}

} // namespace mirl
