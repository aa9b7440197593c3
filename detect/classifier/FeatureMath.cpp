#include "detect/classifier/FeatureMath.h"

#include "detect/classifier/FastLog.h"

#include <algorithm>
#include <cmath>

namespace mirl::classifier {

float powerToDb(double power) {
    return std::max(kSilenceFloorDb, fastPowerDb(float(power) + 1e-12f));
}

double dbToPower(float db) {
    constexpr float kLn10Over10 = 0.230258509f;
    return double(std::exp(db * kLn10Over10));
}

float percentile(std::vector<float> values, double q) {
    if (values.empty())
        return 0;
    const std::size_t k = std::min(values.size() - 1, std::size_t(q * double(values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
}

int countOnsets(const std::vector<float>& blocks, float floorDb) {
    floorDb = std::max(floorDb, kOnsetFloorDb);
    std::vector<double> power(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        power[i] = dbToPower(blocks[i]);
    int onsets = 0;
    int lastOnset = -10;
    for (std::size_t i = 4; i < blocks.size(); ++i) {
        const double before = (power[i - 1] + power[i - 2] + power[i - 3] + power[i - 4]) / 4;
        if (blocks[i] - powerToDb(before) > 9.0f && blocks[i] > floorDb + 12.0f && int(i) - lastOnset > 3) {
            ++onsets;
            lastOnset = int(i);
        }
    }
    return onsets;
}

float periodicity(const std::vector<float>& x, int lo, int hi) {
    const int n = int(x.size());
    double r0 = 0;
    for (float v : x)
        r0 += double(v) * v;
    if (r0 <= 1e-9 || lo >= n)
        return 0;
    r0 /= n;
    float best = 0;
    for (int lag = lo; lag <= std::min(hi, n - 8); ++lag) {
        double r = 0;
        for (int i = 0; i + lag < n; ++i)
            r += double(x[std::size_t(i)]) * x[std::size_t(i + lag)];
        r /= (n - lag);
        best = std::max(best, float(r / r0));
    }
    return std::clamp(best, 0.0f, 1.0f);
}

} // namespace mirl::classifier
