#pragma once

#include "runtime/Duration.h"

#include <optional>

namespace mirl {

/// Idle seconds from a facility that only reports edges: "no input for T seconds" (idled) and
/// "input again after that" (resumed), as Wayland's ext-idle-notify-v1 does.
///
/// After idled at t the user has been idle since t − T, exactly (or, before any input was seen,
/// at least since watching began: the count then starts there). Between resumed and the next
/// idled the last input is known to lie within the last T seconds: the answer is the time
/// since resumed, at most T (exact when nothing was touched after it, never more than T off).
/// During the first T seconds of watching without an edge nothing is known; after them without
/// an idled edge, somebody touched the machine within T.
/// Thread rule: none of its own (the owner serialises calls).
class IdleEdgeCounter {
public:
    explicit IdleEdgeCounter(double thresholdSeconds) : threshold_(thresholdSeconds) {}

    /// The notification was set up at t: counting starts.
    void watching(TimePoint t);
    void idled(TimePoint t);
    void resumed(TimePoint t);
    /// The facility went away: the idle time is unknown again.
    void lost();

    std::optional<double> idleSeconds(TimePoint now) const;
    double threshold() const { return threshold_; }

private:
    double threshold_;
    std::optional<TimePoint> watchingSince_;
    std::optional<TimePoint> idleSince_;
    std::optional<TimePoint> resumedAt_;
};

} // namespace mirl
