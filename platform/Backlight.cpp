#include "platform/Backlight.h"

#include <algorithm>
#include <cmath>

namespace mirl {

long long backlightRawValue(float level, long long maxRaw) {
    if (maxRaw <= 0)
        return 0;
    const double clamped = std::clamp(static_cast<double>(level), 0.0, 1.0);
    const auto raw = static_cast<long long>(std::llround(clamped * static_cast<double>(maxRaw)));
    const auto floor =
        std::max<long long>(1, static_cast<long long>(std::ceil(static_cast<double>(maxRaw) * 0.01)));
    return std::clamp(raw, std::min(floor, maxRaw), maxRaw);
}

} // namespace mirl
