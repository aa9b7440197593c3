#include "core/probes/DayNight.h"

#include "runtime/LocalTime.h"

namespace mirl {

bool isNightByLight(ActivityProbes& probes, const Clock& clock) {
    const auto lux = probes.readAmbientLux();
    if (lux)
        return *lux <= 50.0;
    const int hour = localCalendar(clock.now()).tm_hour;
    return hour < 7 || hour > 20;
}

} // namespace mirl
