#pragma once

#include "platform/ActivityProbes.h"
#include "runtime/Clock.h"

namespace mirl {

/// Night when the ambient light is at most 50 lux; without a sensor, night from 21:00 to 06:59
/// local time.
bool isNightByLight(ActivityProbes& probes, const Clock& clock);

} // namespace mirl
