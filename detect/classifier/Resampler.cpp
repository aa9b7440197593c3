#include "detect/classifier/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace mirl::classifier {

namespace {
constexpr double kPi = 3.14159265358979323846;
// Kernel half-width in units of the lower rate's samples. With the Blackman window, 12 puts
// the transition band between the cut-off (0.9 of the lower Nyquist) and about 1.2 of it.
constexpr double kZeroCrossings = 8.0;
constexpr int kMaxPhases = 2048;

double blackman(double x) { // x in [-1, 1]
    return 0.42 + 0.5 * std::cos(kPi * x) + 0.08 * std::cos(2 * kPi * x);
}

// The dot product of n floats, eight at a time in two independent sums of four lanes (the
// compiler's vector extension: SSE on any x86-64, NEON on ARM), the rest one by one.
float dot(const float* a, const float* b, int n) {
    using Lanes = float __attribute__((vector_size(16)));
    Lanes s0{}, s1{};
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        Lanes a0, a1, b0, b1;
        std::memcpy(&a0, a + k, sizeof a0); // unaligned loads
        std::memcpy(&a1, a + k + 4, sizeof a1);
        std::memcpy(&b0, b + k, sizeof b0);
        std::memcpy(&b1, b + k + 4, sizeof b1);
        s0 += a0 * b0;
        s1 += a1 * b1;
    }
    const Lanes s = s0 + s1;
    float sum = (s[0] + s[1]) + (s[2] + s[3]);
    for (; k < n; ++k)
        sum += a[k] * b[k];
    return sum;
}
} // namespace

Resampler::Resampler(int inRate, int outRate) : inRate_(std::max(1, inRate)), outRate_(std::max(1, outRate)) {
    const double lower = std::min(inRate_, outRate_);
    const double cutoff = 0.45 * lower;          // Hz, a little below the lower Nyquist
    const double step = double(inRate_) / lower; // input samples per lower-rate sample
    half_ = int(std::ceil(kZeroCrossings * step));
    taps_ = 2 * half_;
    const std::int64_t g = std::gcd(inRate_, outRate_);
    step_ = int(inRate_ / g);
    den_ = int(outRate_ / g);
    phases_ = int(std::min<std::int64_t>(den_, kMaxPhases));
    table_.assign(std::size_t(phases_) * std::size_t(taps_), 0.0f);
    const double fc = cutoff / inRate_; // cycles per input sample
    for (int p = 0; p < phases_; ++p) {
        const double frac = double(p) / phases_; // centre lies frac input samples after the base
        double sum = 0;
        float* row = &table_[std::size_t(p) * std::size_t(taps_)];
        for (int k = 0; k < taps_; ++k) {
            const double t = double(k - half_ + 1) - frac; // tap k sits at base - half_ + 1 + k
            const double x = t / (half_ + 1.0);
            double h = 0;
            if (std::abs(x) < 1.0) {
                const double s = t == 0 ? 1.0 : std::sin(2 * kPi * fc * t) / (2 * kPi * fc * t);
                h = 2 * fc * s * blackman(x);
            }
            row[k] = float(h);
            sum += h;
        }
        if (sum != 0) { // unity gain at DC for every phase
            for (int k = 0; k < taps_; ++k)
                row[k] = float(row[k] / sum);
        }
    }
}

void Resampler::push(std::span<const float> input, std::vector<float>& out) {
    history_.insert(history_.end(), input.begin(), input.end());
    const std::int64_t available = historyStart_ + std::int64_t(history_.size());
    for (;;) {
        // The next output lies at input time base_ + rem_ / den_ (its index times inRate / outRate).
        const std::int64_t base = base_;
        const std::int64_t last = base + half_; // highest input index the output reads
        if (last >= available)
            break;
        const int phase = phases_ == den_ ? rem_ : int(std::int64_t(rem_) * phases_ / den_);
        const float* row = &table_[std::size_t(phase) * std::size_t(taps_)];
        const std::int64_t first = base - half_ + 1;
        float acc = 0;
        if (first >= historyStart_) {
            acc = dot(row, &history_[std::size_t(first - historyStart_)], taps_);
        } else { // the kernel reaches before the stream's first sample: zeros there
            for (int k = 0; k < taps_; ++k) {
                const std::int64_t idx = first + k;
                if (idx >= historyStart_)
                    acc += row[k] * history_[std::size_t(idx - historyStart_)];
            }
        }
        out.push_back(acc);
        base_ += step_ / den_;
        rem_ += step_ % den_;
        if (rem_ >= den_) {
            rem_ -= den_;
            ++base_;
        }
    }
    // Keep what the next output still reads.
    const std::int64_t nextFirst = base_ - half_ + 1;
    if (nextFirst > historyStart_) {
        const std::int64_t drop =
            std::min<std::int64_t>(nextFirst - historyStart_, std::int64_t(history_.size()));
        if (drop > 4096 || drop == std::int64_t(history_.size())) {
            history_.erase(history_.begin(), history_.begin() + drop);
            historyStart_ += drop;
        }
    }
}

} // namespace mirl::classifier
