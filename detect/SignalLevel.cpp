#include "detect/SignalLevel.h"

#include <array>
#include <cmath>

namespace mirl {

float meanSquare(std::span<const float> samples) {
    if (samples.empty())
        return 0.0f;
    constexpr std::size_t lanes = 8;
    std::array<double, lanes> sum{};
    std::size_t i = 0;
    const std::size_t n = samples.size();
    for (; i + lanes <= n; i += lanes)
        for (std::size_t k = 0; k < lanes; ++k)
            sum[k] += static_cast<double>(samples[i + k]) * samples[i + k];
    double total = 0;
    for (; i < n; ++i)
        total += static_cast<double>(samples[i]) * samples[i];
    for (double s : sum)
        total += s;
    return static_cast<float>(total / static_cast<double>(n));
}

float rootMeanSquare(std::span<const float> samples) {
    return std::sqrt(meanSquare(samples));
}

} // namespace mirl
