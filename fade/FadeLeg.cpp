#include "fade/FadeLeg.h"

#include <algorithm>
#include <cmath>

namespace mirl {

double shapeProgress(double p, FadeCurve curve) {
    p = std::clamp(p, 0.0, 1.0);
    switch (curve) {
    case FadeCurve::easeOut:
        return 1.0 - std::pow(1.0 - p, 1.6);
    case FadeCurve::easeInOut:
        return p * p * (3.0 - 2.0 * p);
    }
    return p;
}

double legValue(const FadeLeg& leg, TimePoint t, FadeCurve curve) {
    if (leg.durationSeconds <= 0)
        return leg.endValue;
    const double p = secondsBetween(leg.startDate, t) / leg.durationSeconds;
    const double e = shapeProgress(p >= 1.0 ? 1.0 : std::max(p, 0.0), curve);
    return leg.startValue + e * (leg.endValue - leg.startValue);
}

double deadlineClamp(double d, std::optional<TimePoint> deadline, TimePoint now) {
    if (!deadline)
        return d;
    const double left = secondsBetween(now, *deadline);
    return std::max(30.0, std::min(left, d));
}

int clampedVolumeFloorPct(int storedPct) {
    return std::clamp(storedPct, 0, 80);
}

double volumeFloorTarget(double initialVolume, int storedFloorPct) {
    return initialVolume * clampedVolumeFloorPct(storedFloorPct) / 100.0;
}

int roundVolume(double v) {
    return static_cast<int>(std::lround(v));
}

long long wholeSeconds(double seconds) {
    return static_cast<long long>(std::trunc(seconds));
}

double finiteSeconds(double seconds) {
    return std::isfinite(seconds) ? seconds : 0.0;
}

} // namespace mirl
