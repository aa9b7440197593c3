#pragma once

#include "runtime/Duration.h"

#include <ctime>

namespace mirl {

/// Calendar fields of t in the process's local time zone (TZ).
inline std::tm localCalendar(TimePoint t) {
    std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

} // namespace mirl
