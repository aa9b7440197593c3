#pragma once

#include <chrono>
#include <cmath>

namespace mirl {

using namespace std::chrono_literals;

/// Durations throughout Mirl. Any std::chrono duration of integral ticks converts implicitly;
/// fractional seconds go through toDuration().
using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::system_clock::time_point;

/// Fractional seconds as a Duration, held at the ends of its range (about 292 years either
/// way) instead of overflowing; NaN is zero.
inline Duration toDuration(double seconds) {
    if (std::isnan(seconds))
        return Duration::zero();
    constexpr double limit = 9.2e9; // just inside the 64-bit nanoseconds
    if (seconds >= limit)
        return Duration::max();
    if (seconds <= -limit)
        return Duration::min();
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
}

/// A file system time (seconds and nanoseconds since 1970), held at the ends of the clock's range:
/// a file may be dated in the year 3000.
inline TimePoint fromFileTime(long long seconds, long long nanoseconds) {
    constexpr long long limit = std::chrono::duration_cast<std::chrono::seconds>(Duration::max()).count() - 1;
    if (seconds > limit)
        return TimePoint::max();
    if (seconds < -limit)
        return TimePoint::min();
    return TimePoint{std::chrono::duration_cast<TimePoint::duration>(std::chrono::seconds(seconds) +
                                                                     std::chrono::nanoseconds(nanoseconds))};
}

/// t + d, held at the ends of the clock's range instead of overflowing.
inline TimePoint addSaturating(TimePoint t, Duration d) {
    const auto since = std::chrono::duration_cast<Duration>(t.time_since_epoch());
    if (d > Duration::zero() && since > Duration::max() - d)
        return TimePoint::max();
    if (d < Duration::zero() && since < Duration::min() - d)
        return TimePoint::min();
    return t + std::chrono::duration_cast<TimePoint::duration>(d);
}

inline double toSeconds(Duration d) {
    return std::chrono::duration<double>(d).count();
}

/// Seconds from a to b (negative when b is before a).
inline double secondsBetween(TimePoint a, TimePoint b) {
    TimePoint::rep difference = 0;
    if (__builtin_sub_overflow(b.time_since_epoch().count(), a.time_since_epoch().count(), &difference))
        return std::chrono::duration<double>(b.time_since_epoch()).count() -
               std::chrono::duration<double>(a.time_since_epoch()).count();
    return std::chrono::duration<double>(TimePoint::duration(difference)).count();
}

/// t + seconds, held at the ends of the clock's range (a duration from a setting or a file may
/// be absurdly long); NaN adds nothing.
inline TimePoint addSeconds(TimePoint t, double seconds) {
    return addSaturating(t, toDuration(seconds));
}

} // namespace mirl
