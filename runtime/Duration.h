#pragma once

#include <chrono>

namespace mirl {

using namespace std::chrono_literals;

/// Durations throughout Mirl. Any std::chrono duration of integral ticks converts implicitly;
/// fractional seconds go through toDuration().
using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::system_clock::time_point;

inline Duration toDuration(double seconds) {
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
}

inline double toSeconds(Duration d) {
    return std::chrono::duration<double>(d).count();
}

/// Seconds from a to b (negative when b is before a).
inline double secondsBetween(TimePoint a, TimePoint b) {
    return std::chrono::duration<double>(b - a).count();
}

inline TimePoint addSeconds(TimePoint t, double seconds) {
    return t + std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds));
}

} // namespace mirl
