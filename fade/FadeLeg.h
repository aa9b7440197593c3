#pragma once

#include "runtime/Duration.h"

#include <optional>

namespace mirl {

/// How a leg's progress is shaped. easeOut is fast at first and gentle at the end; easeInOut is
/// a smoothstep.
enum class FadeCurve { easeOut, easeInOut };

/// One straight transition of a channel from startValue to endValue. Copied whole, never edited
/// in place: a channel's leg is only ever replaced or cleared.
struct FadeLeg {
    TimePoint startDate;
    double durationSeconds = 0;
    double startValue = 0;
    double endValue = 0;

    friend bool operator==(const FadeLeg&, const FadeLeg&) = default;
};

/// The curve applied to a progress p in 0..1.
double shapeProgress(double p, FadeCurve curve);

/// The value of leg at t: the start value before the leg starts, the end value once its duration
/// has elapsed (at once for a duration of 0 or less), the shaped transition in between.
double legValue(const FadeLeg& leg, TimePoint t, FadeCurve curve);

/// A fade's duration bounded by the session's deadline: max(30, min(seconds left, d)). The
/// 30-second floor holds even once the deadline has passed; without a deadline d is returned.
double deadlineClamp(double d, std::optional<TimePoint> deadline, TimePoint now);

/// The volume floor percentage from its stored value: below 0 acts as 0, above 80 as 80.
int clampedVolumeFloorPct(int storedPct);

/// The volume a fade aims at: initialVolume × floor percentage / 100.
double volumeFloorTarget(double initialVolume, int storedFloorPct);

/// A volume handed to the outputs: the nearest integer, halves away from zero.
int roundVolume(double v);

/// Whole seconds of a duration for the session log, the fraction cut off.
long long wholeSeconds(double seconds);

/// A duration argument as a finite number of seconds (anything else counts as 0, which the
/// minimum durations then raise).
double finiteSeconds(double seconds);

} // namespace mirl
