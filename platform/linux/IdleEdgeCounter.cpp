#include "platform/linux/IdleEdgeCounter.h"

#include <algorithm>

namespace mirl {

void IdleEdgeCounter::watching(TimePoint t) {
    watchingSince_ = t;
    idleSince_.reset();
    resumedAt_.reset();
}

void IdleEdgeCounter::idled(TimePoint t) {
    if (!watchingSince_)
        return;
    idleSince_ = addSeconds(t, -threshold_);
}

void IdleEdgeCounter::resumed(TimePoint t) {
    if (!watchingSince_)
        return;
    idleSince_.reset();
    resumedAt_ = t;
}

void IdleEdgeCounter::lost() {
    watchingSince_.reset();
    idleSince_.reset();
    resumedAt_.reset();
}

std::optional<double> IdleEdgeCounter::idleSeconds(TimePoint now) const {
    if (!watchingSince_)
        return std::nullopt;
    if (idleSince_)
        return std::max(0.0, secondsBetween(*idleSince_, now));
    const double since = std::max(0.0, secondsBetween(resumedAt_.value_or(*watchingSince_), now));
    if (!resumedAt_ && since < threshold_)
        return std::nullopt; // too early to tell
    return std::min(since, threshold_);
}

} // namespace mirl
